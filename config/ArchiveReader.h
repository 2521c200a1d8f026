#pragma once
// Reads the options and settings files: the elements of the record in the order the
// writer puts them, after a header whose signature is "serialization::archive".
// Tolerant of whitespace, attribute order and a missing XML declaration; strict about the
// element names, their order and the values, which is what keeps a damaged file from being
// taken for a good one.
#include <pugixml.hpp>

#include <cstddef>
#include <cstdint>
#include <set>
#include <stdexcept>
#include <string>

// Any way in which a document differs from the layout it is read as.
class ArchiveError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ArchiveReader;

// A cursor over the child elements of one element, taken in document order.
class ArchiveElement {
public:
    ArchiveElement(const ArchiveReader& reader, pugi::xml_node node) : m_reader(&reader), m_node(node) {}

    std::string Name() const { return m_node.name(); }

    // The next child element, which must be called `name`.
    ArchiveElement Next(const char* name);

    // The next child holding one value.
    std::string NextString(const char* name);
    std::int32_t NextInt32(const char* name);
    bool NextBool(const char* name);
    // A list's "count" child: a number not below 0.
    std::size_t NextCount();

    bool HasAttribute(const char* name) const;
    std::string Attribute(const char* name) const;
    // The class version stored with the element; throws if it has none.
    unsigned Version() const;

private:
    std::string Text() const;
    std::int64_t Number(const std::string& text, std::int64_t low, std::int64_t high) const;

    const ArchiveReader* m_reader;
    pugi::xml_node m_node;
    pugi::xml_node m_last; // the child handed out last
};

class ArchiveReader {
public:
    // Reads the file; false if it cannot be opened or read. A document that is not
    // well-formed still loads: the elements before the fault are read, the rest fails.
    bool Load(const std::string& path);
    void LoadText(const std::string& text);

    // The record's root element. Throws ArchiveError for a wrong signature or another root.
    ArchiveElement Root(const char* name) const;

    // Whether the element's end was seen. Only complete elements give values.
    bool IsComplete(pugi::xml_node node) const;

private:
    pugi::xml_document m_doc;
    std::set<const void*> m_unfinished;
};
