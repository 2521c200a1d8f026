#pragma once
// Writes the XML text of the options and settings files, byte for byte in the layout of the
// serialization archive (version 3) that earlier releases wrote, so that files stay
// interchangeable. Boost 1.74 writes a newer layout, hence this small writer.
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

class ArchiveWriter {
public:
    using Attributes = std::vector<std::pair<std::string, std::string>>;

    // Starts the document with its three header lines.
    ArchiveWriter();

    // Gives a class its id (counted from 0 in order of registration) unless it has one.
    int RegisterClass(const std::string& cls);

    // Attributes of an element holding an object of `cls`: class_id, tracking_level and
    // version on the first such element of the document, nothing on later ones.
    Attributes ClassAttributes(const std::string& cls, int trackingLevel, unsigned version);

    // Attributes of an object written for the first time through a pointer: the class
    // attributes (or class_id_reference once the class has been written), then object_id.
    // `objectId` receives the object's number.
    Attributes NewObjectAttributes(const std::string& cls, int trackingLevel, unsigned version, int& objectId);

    // Attributes of a pointer to an object written before.
    Attributes ObjectReferenceAttributes(const std::string& cls, int objectId) const;

    // An element with children: the start tag on its own line, then EndElement closes it.
    void StartElement(const std::string& name, const Attributes& attributes = {});
    void EndElement();

    // An element holding one value on one line. Strings get the five XML escapes.
    void StringElement(const std::string& name, const std::string& value, const Attributes& attributes = {});
    void NumberElement(const std::string& name, std::int64_t value, const Attributes& attributes = {});

    // An element with neither value nor children: start tag directly followed by end tag.
    void EmptyElement(const std::string& name, const Attributes& attributes = {});

    // Closes the document and returns its text. Open elements are a programming error.
    const std::string& Finish();

    static std::string Escape(const std::string& text);

private:
    struct ClassInfo {
        int id = 0;
        bool written = false;
    };

    void Indent();
    void StartTag(const std::string& name, const Attributes& attributes);
    void EndTag(const std::string& name);
    ClassInfo& Register(const std::string& cls);

    std::string m_text;
    std::vector<std::string> m_open;
    std::map<std::string, ClassInfo> m_classes;
    int m_nextObjectId = 0;
    bool m_finished = false;
};
