#pragma once
// The log of the recording automation objects (RecordingAutomation.h): every
// call with its arguments, in order, and the failures to inject.
#include "export/ComError.h"

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace recording {

class Recorder {
public:
    // The call "object.Method" or, for every object, "Method" throws
    // ComError(hr): every time, or only at its nth occurrence (from 1).
    // hr 0 throws std::runtime_error instead. SaveAs and SaveAsReplacing
    // report a failure as false.
    void Fail(const std::string& call, engine::HRESULT hr, int nth = 0);

    // Checks for a configured failure (logging the call with " FAILED" and
    // throwing), else logs the call; returns the name of a new object of
    // kind, or "" when kind is empty.
    std::string Call(const std::string& object, const std::string& method, const std::string& args = "",
                     const std::string& kind = "");
    // As Call, but reports a configured failure instead of throwing.
    bool Succeeds(const std::string& object, const std::string& method, const std::string& args);

    // The log from the first call whose text starts with prefix on.
    std::vector<std::string> From(const std::string& prefix) const;
    int Count(const std::string& entry) const;

    std::vector<std::string> log;
    // What a save (SaveAs, SaveAsReplacing) that is not made to fail does
    // once it is logged; without it, nothing, and the save succeeds.
    std::function<bool(const std::filesystem::path&)> save;
    // What a picture added at its native size measures.
    float nativeWidth = 400.0f;
    float nativeHeight = 300.0f;

private:
    struct Failure {
        engine::HRESULT hr;
        int nth;
        int seen = 0;
    };
    std::map<std::string, Failure> m_failures;
    std::map<std::string, int> m_counters;
    bool Failing(const std::string& object, const std::string& method);
};

// Argument lists as they are logged: floats with every significant digit,
// strings quoted with control characters escaped.
std::string Arg(float value);
std::string Arg(int value);
std::string Arg(const std::string& value);
template <class First, class... Rest>
std::string Args(const First& first, const Rest&... rest)
{
    std::string text = Arg(first);
    ((text += ", " + Arg(rest)), ...);
    return text;
}

}  // namespace recording
