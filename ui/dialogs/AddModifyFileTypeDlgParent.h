#pragma once
#include <string>

// What the add-file-type dialog asks of the page that opened it.
class IAddModifyFileTypeDlgParent {
public:
    virtual ~IAddModifyFileTypeDlgParent() = default;
    // True if `text` is a valid extension; otherwise `message` says why.
    virtual bool ValidateExtension(const std::string& text, std::string& message) = 0;
    // Whether the list already holds the extension. Throws std::runtime_error for an
    // invalid one.
    virtual bool ExtensionExists(const std::string& text) = 0;
    // Adds the extension, checked. Throws std::runtime_error for an invalid one.
    virtual void AddFileType(const std::string& text) = 0;
    virtual void OnAddFileTypeDlgClosed() = 0;
};
