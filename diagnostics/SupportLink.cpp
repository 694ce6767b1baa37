#include "diagnostics/SupportLink.h"

#include "ui/MessageCatalogue.h"

std::string MakeSupportUrl(const std::string&)
{
    return Translate("SUPPORT_LINK_URL");
}
