#include "langedit/cLangStats.h"

#include "langedit/mStrings.h"
#include "platform/ErrLog.h"

void cLangStats::Build(const XmlNodePtr& treeDoc, const XmlNodePtr& loadedLangs) {
  index_.clear();
  counts_.clear();
  filled_.clear();
  open_.clear();
  try {
    paths_ = mStrings::Paths(treeDoc);
    for (size_t i = 0; i < paths_.size(); ++i) index_.emplace(paths_[i], i);
    if (!loadedLangs) return;
    for (long l = 1; l <= loadedLangs->ChildCount(); ++l) {
      XmlNodePtr lang = loadedLangs->Child(l);
      if (!lang) continue;
      auto values = mStrings::Values(lang);
      Count& c = counts_.emplace_back();
      c.langId = lang->Name();
      c.total = static_cast<long>(paths_.size());
      std::vector<bool>& filled = filled_.emplace_back(paths_.size(), false);
      auto& open = open_.emplace_back();
      for (size_t i = 0; i < paths_.size(); ++i) {
        auto it = values.find(paths_[i]);
        filled[i] = it != values.end() && !it->second.empty();
        if (filled[i]) {
          ++c.translated;
        } else {
          for (Text& g : mStrings::GroupsOf(paths_[i])) ++open[g];
        }
      }
    }
  } catch (const std::exception& e) {
    ErrLog::Exception("cLangStats.Build", e.what());
  }
}

long cLangStats::Column(TextView langId) const {
  for (size_t i = 0; i < counts_.size(); ++i)
    if (txt::EqualsNoCase(counts_[i].langId, langId)) return static_cast<long>(i);
  return -1;
}

void cLangStats::Update(TextView path, TextView langId, bool filled) {
  long col = Column(langId);
  if (col < 0) return;
  if (!path.empty() && path[0] == u'.') path.remove_prefix(1);
  auto it = index_.find(Text(path));
  if (it == index_.end()) return;
  std::vector<bool>::reference was = filled_[col][it->second];
  if (was == filled) return;
  was = filled;
  counts_[col].translated += filled ? 1 : -1;
  for (Text& g : mStrings::GroupsOf(path)) open_[col][g] += filled ? -1 : 1;
}

Text cLangStats::StatusText() const {
  Text out;
  for (const Count& c : counts_) {
    if (txt::EqualsNoCase(c.langId, u"en")) continue;
    if (!out.empty()) out += u"   ";
    out += c.langId + u" " + txt::FromInt(c.translated) + u"/" + txt::FromInt(c.total) + u" \u00B7 " +
           txt::FromInt(c.Percent()) + u" %";
  }
  return out;
}

long cLangStats::OpenBelow(TextView groupPath, TextView langId) const {
  long col = Column(langId);
  if (col < 0) return 0;
  if (!groupPath.empty() && groupPath[0] == u'.') groupPath.remove_prefix(1);
  auto it = open_[col].find(Text(groupPath));
  return it == open_[col].end() ? 0 : it->second;
}
