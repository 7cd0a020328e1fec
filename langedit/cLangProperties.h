#pragma once
// The editing model of the language-properties dialog: the boxes write straight into the
// language element, and any change below it sets the element's changed marker (its item
// data), so the caller can tell after the dialog whether the language became dirty.
#include <vector>

#include "platform/Event.h"
#include "platform/Text.h"
#include "xml/cXmlNode.h"

class cLangProperties {
 public:
  // Completes the element (English name from the locale table, "Contributors") before it
  // starts listening, so merely opening the dialog never counts as a change.
  explicit cLangProperties(XmlNodePtr lang);
  ~cLangProperties();
  cLangProperties(const cLangProperties&) = delete;
  cLangProperties& operator=(const cLangProperties&) = delete;

  const XmlNodePtr& Lang() const { return lang_; }
  Text LangID() const;
  Text Field(TextView attr) const;
  void SetField(TextView attr, TextView value);

  // Contributors, 1-based.
  long ContributorCount() const;
  XmlNodePtr Contributor(long index) const;
  // name, then " <" email ">" when there is an e-mail.
  static Text ContributorRow(const XmlNodePtr& contributor);
  // Appends "new contributor" with empty e-mail and website; returns its index.
  long AddContributor();
  bool DeleteContributor(long index);
  void SetContributorField(long index, TextView attr, TextView value);

  // The element's changed marker.
  bool Changed() const;
  static void ClearChanged(const XmlNodePtr& lang);
  // The icon's picture in the suite, or "" when the element names no picture file there.
  Text IconPath(TextView suiteRoot) const;

 private:
  std::vector<XmlNodePtr> ContributorNodes() const;

  XmlNodePtr lang_;
  XmlNodePtr contributors_;
  std::vector<Connection> conns_;
};
