#include "langedit/cLangProperties.h"

#include "langedit/mLangFormat.h"
#include "langedit/mTools.h"
#include "locale/mLang.h"
#include "platform/ErrLog.h"
#include "storage/mFileUtils.h"
#include "xml/cXmlNodeEvents.h"

namespace {
constexpr int32_t kChanged = 1;
}

cLangProperties::cLangProperties(XmlNodePtr lang) : lang_(std::move(lang)) {
  try {
    if (!lang_) return;
    if (lang_->Attribut(mLangFormat::kAttrEnName).empty())
      lang_->Attribut(mLangFormat::kAttrEnName, mLang::GetISOLangName(lang_->Name()));
    contributors_ = lang_->GetChildNode(mLangFormat::kContributors, true, true);
    // From here on every change below the element counts.
    cXmlNodeEvents& ev = lang_->Events();
    auto mark = [this] { lang_->ItemData(kChanged); };
    conns_.push_back(ev.Modified.Subscribe([mark](const Text&) { mark(); }));
    conns_.push_back(ev.ChildModified.Subscribe([mark](cXmlNodeEvents::NodeRef, const Text&) { mark(); }));
    conns_.push_back(ev.ChildAdded.Subscribe([mark](cXmlNodeEvents::NodeRef) { mark(); }));
    conns_.push_back(ev.ChildDeleted.Subscribe([mark](cXmlNodeEvents::NodeRef) { mark(); }));
  } catch (const std::exception& e) {
    ErrLog::Exception("cLangProperties.cLangProperties", e.what());
  }
}

cLangProperties::~cLangProperties() = default;

Text cLangProperties::LangID() const { return lang_ ? lang_->Name() : Text(); }

Text cLangProperties::Field(TextView attr) const { return lang_ ? lang_->Attribut(attr) : Text(); }

void cLangProperties::SetField(TextView attr, TextView value) {
  if (lang_) lang_->Attribut(attr, value);
}

std::vector<XmlNodePtr> cLangProperties::ContributorNodes() const {
  std::vector<XmlNodePtr> out;
  if (!contributors_) return out;
  long n = contributors_->ChildCount();
  for (long i = 1; i <= n; ++i)
    if (XmlNodePtr c = contributors_->Child(i))
      if (txt::EqualsNoCase(c->Name(), mLangFormat::kContributor)) out.push_back(c);
  return out;
}

long cLangProperties::ContributorCount() const { return static_cast<long>(ContributorNodes().size()); }

XmlNodePtr cLangProperties::Contributor(long index) const {
  auto nodes = ContributorNodes();
  if (index < 1 || index > static_cast<long>(nodes.size())) return nullptr;
  return nodes[static_cast<size_t>(index - 1)];
}

Text cLangProperties::ContributorRow(const XmlNodePtr& c) {
  if (!c) return Text();
  Text row = c->Attribut(mLangFormat::kContribName);
  Text mail = c->Attribut(mLangFormat::kContribEmail);
  if (!mail.empty()) row += u" <" + mail + u">";
  return row;
}

long cLangProperties::AddContributor() {
  try {
    if (!contributors_) return 0;
    auto c = cXmlNode::New();
    c->Name(mLangFormat::kContributor);
    c->Attribut(mLangFormat::kContribName, u"new contributor");
    contributors_->AddChild(c);
    return ContributorCount();
  } catch (const std::exception& e) {
    ErrLog::Exception("cLangProperties.AddContributor", e.what());
    return 0;
  }
}

bool cLangProperties::DeleteContributor(long index) {
  XmlNodePtr c = Contributor(index);
  if (!c) return false;
  contributors_->DelChild(c);
  return true;
}

void cLangProperties::SetContributorField(long index, TextView attr, TextView value) {
  if (XmlNodePtr c = Contributor(index)) c->Attribut(attr, value);
}

bool cLangProperties::Changed() const { return lang_ && lang_->ItemData() == kChanged; }

void cLangProperties::ClearChanged(const XmlNodePtr& lang) {
  if (lang) lang->ItemData(0);
}

Text cLangProperties::IconPath(TextView suiteRoot) const {
  return mTools::IconFile(suiteRoot, Field(mLangFormat::kAttrIcon));
}
