#include "langedit/cProblemList.h"

#include <algorithm>
#include <tuple>

namespace {

bool Wanted(const CheckFinding& f, cProblemList::SeverityFilter s) {
  switch (s) {
    case cProblemList::SeverityFilter::Errors: return f.severity == CheckSeverity::Error;
    case cProblemList::SeverityFilter::Warnings: return f.severity == CheckSeverity::Warning;
    case cProblemList::SeverityFilter::All: break;
  }
  return true;
}

bool HasLang(const std::vector<Text>& langs, TextView id) {
  return langs.empty() ||
         std::any_of(langs.begin(), langs.end(), [&](const Text& l) { return txt::EqualsNoCase(l, id); });
}

}  // namespace

void cProblemList::SetOrder(const std::vector<Text>& paths, const std::vector<Text>& langIds) {
  pathOrder_.clear();
  for (size_t i = 0; i < paths.size(); ++i) pathOrder_.emplace(paths[i], i);
  langOrder_.clear();
  for (const Text& id : langIds) {
    langOrder_.push_back(txt::LCase(id));
    shownIds_[langOrder_.back()] = id;
  }
  ++version_;
}

cProblemList::BySource& cProblemList::Lang(TextView langId) {
  Text id = txt::LCase(langId);
  shownIds_.try_emplace(id, Text(langId));
  return langs_[id];
}

void cProblemList::SetFindings(TextView langId, TextView source, std::vector<StringFindings> findings) {
  ByPath& by = Lang(langId)[Text(source)];
  by.clear();
  for (StringFindings& s : findings)
    if (!s.findings.empty()) by[s.path] = std::move(s.findings);
  ++version_;
}

void cProblemList::SetString(TextView langId, TextView source, TextView path, std::vector<CheckFinding> findings) {
  ByPath& by = Lang(langId)[Text(source)];
  if (findings.empty())
    by.erase(Text(path));
  else
    by[Text(path)] = std::move(findings);
  ++version_;
}

void cProblemList::Forget(TextView langId) {
  langs_.erase(txt::LCase(langId));
  ++version_;
}

void cProblemList::Clear() {
  langs_.clear();
  ++version_;
}

std::vector<cProblemList::Row> cProblemList::Rows(const Filter& filter) const {
  // Languages in list order, then any the order does not know.
  std::vector<Text> order = langOrder_;
  for (const auto& [id, _] : langs_)
    if (std::find(order.begin(), order.end(), id) == order.end()) order.push_back(id);
  std::vector<Row> rows;
  for (const Text& lang : order) {
    auto l = langs_.find(lang);
    if (l == langs_.end() || !HasLang(filter.langs, lang)) continue;
    auto name = shownIds_.find(lang);
    const Text& shown = name == shownIds_.end() ? lang : name->second;
    // (string order, source order, finding order); strings the order lacks (orphans) last.
    std::vector<std::tuple<size_t, const Text*, size_t, const CheckFinding*>> found;
    for (const auto& [source, byPath] : l->second)
      for (const auto& [path, list] : byPath) {
        auto at = pathOrder_.find(path);
        size_t pos = at == pathOrder_.end() ? pathOrder_.size() : at->second;
        for (size_t i = 0; i < list.size(); ++i)
          if (Wanted(list[i], filter.severity)) found.emplace_back(pos, &path, i, &list[i]);
      }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
      if (std::get<0>(a) != std::get<0>(b)) return std::get<0>(a) < std::get<0>(b);
      if (*std::get<1>(a) != *std::get<1>(b)) return *std::get<1>(a) < *std::get<1>(b);
      // Errors before warnings within a string.
      if (std::get<3>(a)->severity != std::get<3>(b)->severity)
        return std::get<3>(a)->severity == CheckSeverity::Error;
      return std::get<2>(a) < std::get<2>(b);
    });
    for (const auto& [pos, path, i, f] : found) rows.push_back(Row{shown, *path, f});
  }
  return rows;
}

std::vector<Text> cProblemList::Langs() const {
  std::vector<Text> out;
  for (const auto& [id, _] : langs_) {
    auto name = shownIds_.find(id);
    out.push_back(name == shownIds_.end() ? id : name->second);
  }
  return out;
}

std::vector<cProblemList::Row> cProblemList::Rows() const { return Rows(Filter()); }

cProblemList::Counts cProblemList::Count(const std::vector<Text>& langs) const {
  Counts c;
  for (const auto& [lang, sources] : langs_) {
    if (!HasLang(langs, lang)) continue;
    for (const auto& [source, byPath] : sources)
      for (const auto& [path, list] : byPath)
        for (const CheckFinding& f : list) {
          if (f.kind == CheckKind::NeedsReview)
            ++c.review;
          else if (f.severity == CheckSeverity::Error)
            ++c.errors;
          else
            ++c.warnings;
        }
  }
  return c;
}

bool cProblemList::WorstIn(const BySource& sources, TextView path, CheckSeverity& worst) const {
  bool any = false;
  Text key(path);
  for (const auto& [source, byPath] : sources) {
    auto it = byPath.find(key);
    if (it == byPath.end()) continue;
    for (const CheckFinding& f : it->second) {
      if (!any || f.severity == CheckSeverity::Error) worst = f.severity;
      any = true;
    }
  }
  return any;
}

bool cProblemList::Worst(TextView langId, TextView path, CheckSeverity& worst) const {
  bool any = false;
  for (const auto& [lang, sources] : langs_) {
    if (!langId.empty() && !txt::EqualsNoCase(lang, langId)) continue;
    CheckSeverity s = CheckSeverity::Warning;
    if (!WorstIn(sources, path, s)) continue;
    if (!any || s == CheckSeverity::Error) worst = s;
    any = true;
  }
  return any;
}
