// What a ledgra_text handle is: the text of one cell (or a chosen path) as the
// library holds it, either bytes of its own or bytes the caller lent it.
#pragma once

#include <ledgra/ledgra.h>

#include <cstddef>
#include <string>
#include <string_view>

struct ledgra_text {
    // The text now held: own_, or the lent bytes.
    std::string_view View() const { return view_; }
    // Copies the bytes (none for a null data).
    void Set(const char* data, std::size_t length) {
        own_.assign(data != nullptr ? data : "", data != nullptr ? length : 0);
        view_ = own_;
    }
    // Reads the bytes in place until the text is set or lent again.
    void Lend(const char* data, std::size_t length) {
        view_ = data != nullptr ? std::string_view(data, length) : std::string_view();
    }
    void Clear() {
        own_.clear();
        view_ = own_;
    }

private:
    std::string own_;
    std::string_view view_;
};
