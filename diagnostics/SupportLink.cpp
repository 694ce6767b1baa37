#include "diagnostics/SupportLink.h"

#include "diagnostics/SystemDescription.h"
#include "text/PercentEncoding.h"
#include "ui/MessageCatalogue.h"

#include <stdexcept>

using namespace ui;

namespace diagnostics {

namespace {

// Runs inside an error handler: nothing may escape from here.
std::string DescribeInstalledEngine(const EngineDescriber& describer)
{
    if (!describer)
        return {};
    try {
        return describer();
    } catch (...) {
        return {};
    }
}

}  // namespace

std::string UrlEncode(const std::string& text)
{
    return uri::PercentEncode(text, ";");
}

std::string AddQueryParameter(const std::string& url, const std::string& name, const std::string& value)
{
    if (name.empty())
        throw std::invalid_argument("Parameter name is empty");
    const std::string pair = UrlEncode(name) + "=" + UrlEncode(value);

    const std::size_t hash = url.find('#');
    const std::string head = url.substr(0, hash);
    const std::string fragment = hash == std::string::npos ? std::string() : url.substr(hash);

    std::string separator;
    const std::size_t question = head.find('?');
    if (question == std::string::npos)
        separator = "?";
    else if (question + 1 == head.size() || head.back() == '&')
        separator = "";
    else
        separator = "&";
    return head + separator + pair + fragment;
}

std::string ComposeSupportUrl(const std::string& base, const std::string& version, const std::string& system,
                              const std::string& engineDescription)
{
    std::string url = AddQueryParameter(base, "p", "tralvex");
    url = AddQueryParameter(url, "v", version);
    url = AddQueryParameter(url, "os", system);
    if (!engineDescription.empty())
        url = AddQueryParameter(url, "pp", engineDescription);
    return url;
}

std::string MakeSupportUrl(const std::string& ppDescription, const EngineDescriber& describeInstalledEngine)
{
    const std::string base = Translate("SUPPORT_LINK_URL");
    const std::string version = GetProgramVersion();
    const std::string system = GetSystemDescription();
    const std::string engine = ppDescription.empty() ? DescribeInstalledEngine(describeInstalledEngine) : ppDescription;
    return ComposeSupportUrl(base, version, system, engine);
}

}  // namespace diagnostics
