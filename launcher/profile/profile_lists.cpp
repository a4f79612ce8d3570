#include "profile_lists.h"

#include <algorithm>
#include <cstring>

namespace ardmon::profile {

ListWriter::ListWriter(char* buffer, std::uint32_t size)
    : buffer_(buffer), size_(size), limit_(size >= 2 ? size - 2 : 0)
{
}

void ListWriter::Put(std::string_view piece)
{
    if (length_ < limit_) {
        size_t n = std::min(piece.size(), limit_ - length_);
        if (n > 0) std::memcpy(buffer_ + length_, piece.data(), n);
    }
    length_ += piece.size();
}

void ListWriter::Add(std::string_view a, std::string_view b, std::string_view c)
{
    Put(a);
    Put(b);
    Put(c);
    Put(std::string_view("\0", 1));
}

std::uint32_t ListWriter::Finish()
{
    if (size_ == 0) return 0;
    if (size_ == 1) {
        buffer_[0] = '\0';
        return 0;
    }
    if (length_ <= limit_) {
        buffer_[length_] = '\0';
        if (length_ == 0) buffer_[1] = '\0';
        return static_cast<std::uint32_t>(length_);
    }
    buffer_[size_ - 2] = '\0';
    buffer_[size_ - 1] = '\0';
    return size_ - 2;
}

std::uint32_t CopyCutString(std::string_view text, char* buffer, std::uint32_t size)
{
    if (size == 0) return 0;
    size_t n = std::min<size_t>(text.size(), size - 1);
    if (n > 0) std::memmove(buffer, text.data(), n);  // a default may live in the buffer itself
    buffer[n] = '\0';
    return static_cast<std::uint32_t>(n);
}

}  // namespace ardmon::profile
