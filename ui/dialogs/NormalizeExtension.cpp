#include "ui/dialogs/NormalizeExtension.h"

#include <boost/regex.hpp>

#include <stdexcept>

std::string NormalizeExtension(const std::string& text)
{
    static const boost::regex pattern(R"((\*{0,1})(\.{0,1})([A-Za-z0-9'~`!@#$%&^_+=\(\){},\-\[\];]+))",
                                      boost::regex::perl);
    boost::smatch match;
    if (!boost::regex_match(text, match, pattern))
        throw std::runtime_error("Invalid extension");
    if (match[3].length() > static_cast<boost::smatch::difference_type>(kMaxExtensionLength))
        throw std::runtime_error("Extension too long");
    return "*." + match[3].str();
}
