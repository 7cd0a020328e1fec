#pragma once
// A file the editor wrote, read back by pugixml: a reader that shares nothing with ours.
#include <pugixml.hpp>

#include <string>

struct WrittenFile {
  explicit WrittenFile(const std::string& path) : ok(doc.load_file(path.c_str())) {}
  // The root must be "Languages" for the file to be a language file at all.
  pugi::xml_node Languages() const {
    pugi::xml_node root = doc.document_element();
    return std::string(root.name()) == "Languages" ? root : pugi::xml_node();
  }
  // The text at a dot path below "Languages" ("fr.Config.Labels.Title"); "<missing>" when absent.
  std::string Value(const std::string& path) const {
    pugi::xml_node n = Languages().first_element_by_path(path.c_str(), '.');
    return n ? n.child_value() : "<missing>";
  }

  pugi::xml_document doc;
  bool ok;
};
