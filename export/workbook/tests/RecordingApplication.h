// A spreadsheet application for tests that answers every request with a new
// object (or a fixed text) and records, line by line, each request with its
// DISPID, invoke kind and arguments, and each object's final release:
//
//   "Worksheet1 put 110 (BSTR 'Data-Sheet1')"
//   "Range1 get 256 (I2 5000, I2 3) -> Range2"
//   "release Range1"
//
// Failures are scripted per DISPID and kind.
#pragma once

#include "automation/Dispatch.h"
#include "automation/Exceptions.h"
#include "registry/ClassRegistry.h"

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace ledgra::test {

struct RecordedBlock {
    std::uint32_t rows = 0;
    std::uint32_t columns = 0;
    std::vector<Variant> cells;  // row by row
};

class Recording {
public:
    std::vector<std::string> log;
    std::vector<RecordedBlock> blocks;  // every array passed as Value, in order
    std::string version = "16.0";
    std::string firstSheetName = "Data";
    int liveObjects = 0;
    bool keepBlocks = true;
    bool failCreate = false;  // the application cannot be created

    struct Failure {
        HRESULT status;           // DISP_E_EXCEPTION makes a dispatch error
        SCODE scode = 0;          // for a dispatch error
        std::string description;  // for a dispatch error
        int skip = 0;             // calls to let through first
        int times = -1;           // calls to fail then (-1: all)
    };
    // Fails requests with this DISPID and kind (1 method, 2 get, 4 put).
    void FailOn(DISPID dispId, WORD kind, Failure failure) { failures_[{dispId, kind}] = failure; }

    // The next failure for a request, if one is scripted.
    const Failure* Due(DISPID dispId, WORD kind) {
        auto it = failures_.find({dispId, kind});
        if (it == failures_.end()) return nullptr;
        Failure& f = it->second;
        if (f.skip > 0) {
            --f.skip;
            return nullptr;
        }
        if (f.times == 0) return nullptr;
        if (f.times > 0) --f.times;
        return &f;
    }

    std::string NextName(const std::string& kind) { return kind + std::to_string(++serials_[kind]); }

private:
    std::map<std::pair<DISPID, WORD>, Failure> failures_;
    std::map<std::string, int> serials_;
};

inline std::string Describe(const Variant& v);

class RecordingObject : public DispatchObject {
public:
    RecordingObject(std::shared_ptr<Recording> recording, std::string kind)
        : recording_(std::move(recording)), kind_(std::move(kind)), name_(recording_->NextName(kind_)) {
        ++recording_->liveObjects;
    }
    const std::string& Name() const { return name_; }

    HRESULT Invoke(DISPID dispId, WORD flags, DispArgs args, Variant* result, ExcepInfo* info) override {
        Recording& rec = *recording_;
        std::string line = name_ +
                           (flags == 1   ? " method "
                            : flags == 2 ? " get "
                                         : " put ") +
                           std::to_string(dispId) + " (";
        for (std::size_t i = 0; i < args.size(); ++i) {
            if (i) line += ", ";
            line += Describe(*args[i]);
            if (const SafeArray* a = args[i]->parray(); a && rec.keepBlocks) {
                RecordedBlock block;
                block.rows = a->Rows();
                block.columns = a->Columns();
                for (std::uint32_t r = 0; r < a->Rows(); ++r)
                    for (std::uint32_t c = 0; c < a->Columns(); ++c) block.cells.push_back(a->At(r, c));
                rec.blocks.push_back(std::move(block));
            }
        }
        line += ")";
        if (const Recording::Failure* f = rec.Due(dispId, flags)) {
            rec.log.push_back(line + " failed");
            if (f->status == DISP_E_EXCEPTION) return RaiseException(info, f->scode, f->description, "test");
            return f->status;
        }
        const std::string made = Answer(dispId, flags, result);
        rec.log.push_back(line + made);
        return S_OK;
    }

protected:
    ~RecordingObject() override {
        recording_->log.push_back("release " + name_);
        --recording_->liveObjects;
    }

private:
    // Sets the result and says what it is.
    std::string Answer(DISPID dispId, WORD flags, Variant* result) {
        if (flags == 2 && (dispId == 110 || dispId == 392)) {
            const std::string text = dispId == 110 ? recording_->firstSheetName : recording_->version;
            if (result) result->SetString(std::string_view(text));
            return " -> '" + text + "'";
        }
        std::string kind;
        switch (dispId) {
            case 572:
                kind = "Workbooks";
                break;
            case 682:
                kind = "Workbook";
                break;
            case 485:
                kind = "Sheets";
                break;
            case 170:
            case 181:
                kind = "Worksheet";
                break;
            case 197:
            case 256:
                kind = "Range";
                break;
            default:
                return "";
        }
        auto* object = new RecordingObject(recording_, kind);
        const std::string name = object->Name();
        if (result)
            result->AttachDispatch(object);
        else
            object->Release();
        return " -> " + name;
    }

    std::shared_ptr<Recording> recording_;
    std::string kind_;
    std::string name_;
};

inline std::string Describe(const Variant& v) {
    char number[64];
    switch (v.vt()) {
        case VT_EMPTY:
            return "EMPTY";
        case VT_I2:
            return "I2 " + std::to_string(v.iVal());
        case VT_I4:
            return "I4 " + std::to_string(v.lVal());
        case VT_INT:
            return "INT " + std::to_string(v.intVal());
        case VT_R8:
            std::snprintf(number, sizeof number, "%.17g", v.dblVal());
            return std::string("R8 ") + number;
        case VT_BSTR:
            return "BSTR '" + v.bstrVal() + "'";
        case VT_BOOL:
            return "BOOL " + std::to_string(v.boolVal());
        case VT_ERROR:
            if (v.IsOptional()) return "OPT";
            std::snprintf(number, sizeof number, "ERROR 0x%08X", static_cast<unsigned>(v.scode()));
            return number;
        case VT_DISPATCH: {
            auto* object = dynamic_cast<RecordingObject*>(v.pdispVal());
            return "DISPATCH " + (object ? object->Name() : std::string("?"));
        }
        default:
            if (const SafeArray* a = v.parray())
                return "ARRAY " + std::to_string(a->Rows()) + "x" + std::to_string(a->Columns());
            return "VT " + std::to_string(v.vt());
    }
}

// Registers a recording application under progId for the test's lifetime.
class RecordingApplication {
public:
    explicit RecordingApplication(std::string progId = "Ledgra.RecordingApplication")
        : progId_(std::move(progId)), recording_(std::make_shared<Recording>()) {
        ClassRegistry::Instance().Register(progId_, [rec = recording_]() -> IDispatch* {
            if (rec->failCreate) return nullptr;
            return new RecordingObject(rec, "Application");
        });
    }
    ~RecordingApplication() { ClassRegistry::Instance().Unregister(progId_); }
    RecordingApplication(const RecordingApplication&) = delete;
    RecordingApplication& operator=(const RecordingApplication&) = delete;

    const char* ProgId() const { return progId_.c_str(); }
    Recording& operator*() const { return *recording_; }
    Recording* operator->() const { return recording_.get(); }

private:
    std::string progId_;
    std::shared_ptr<Recording> recording_;
};

}  // namespace ledgra::test
