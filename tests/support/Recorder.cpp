#include "support/Recorder.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

using namespace engine;

namespace recording {

void Recorder::Fail(const std::string& call, HRESULT hr, int nth)
{
    m_failures[call] = Failure{hr, nth};
}

bool Recorder::Failing(const std::string& object, const std::string& method)
{
    for (const std::string& key : {object + "." + method, method}) {
        const auto found = m_failures.find(key);
        if (found != m_failures.end() && (found->second.nth == 0 || ++found->second.seen == found->second.nth))
            return true;
    }
    return false;
}

std::string Recorder::Call(const std::string& object, const std::string& method, const std::string& args,
                           const std::string& kind)
{
    const std::string call = object + "." + method + "(" + args + ")";
    if (Failing(object, method)) {
        log.push_back(call + " FAILED");
        const std::string key = m_failures.count(object + "." + method) ? object + "." + method : method;
        if (m_failures.at(key).hr == 0)
            throw std::runtime_error("recorded failure of " + method);
        throw ComError(m_failures.at(key).hr, "recorded failure of " + method);
    }
    if (kind.empty()) {
        log.push_back(call);
        return {};
    }
    const std::string name = kind + std::to_string(++m_counters[kind]);
    log.push_back(call + " = " + name);
    return name;
}

bool Recorder::Succeeds(const std::string& object, const std::string& method, const std::string& args)
{
    const bool fails = Failing(object, method);
    log.push_back(object + "." + method + "(" + args + ")" + (fails ? " FAILED" : ""));
    return !fails;
}

std::vector<std::string> Recorder::From(const std::string& prefix) const
{
    const auto first = std::find_if(log.begin(), log.end(), [&](const std::string& e) { return e.rfind(prefix, 0) == 0; });
    return {first, log.end()};
}

int Recorder::Count(const std::string& entry) const
{
    return static_cast<int>(std::count(log.begin(), log.end(), entry));
}

std::string Arg(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    return text;
}

std::string Arg(int value)
{
    return std::to_string(value);
}

std::string Arg(const std::string& value)
{
    std::string text = "\"";
    for (const char c : value) {
        if (c == '\r')
            text += "\\r";
        else if (c == '\n')
            text += "\\n";
        else if (c == '\v')
            text += "\\v";
        else
            text += c;
    }
    return text + "\"";
}

}  // namespace recording
