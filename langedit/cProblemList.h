#pragma once
// The findings of every loaded language, gathered from several sources (the checks, the
// review marks, and whatever else reports per language such as spelling), in the order the
// Problems panel lists them, with the filters and counts the panel and the submission need.
#include <map>
#include <unordered_map>
#include <vector>

#include "langedit/cQualityCheck.h"
#include "platform/Text.h"

class cProblemList {
 public:
  struct Row {
    Text langId;
    Text path;
    const CheckFinding* finding = nullptr;  // valid until the list changes
  };
  enum class SeverityFilter : uint8_t { All, Errors, Warnings };
  struct Filter {
    std::vector<Text> langs;  // empty: every language
    SeverityFilter severity = SeverityFilter::All;
  };
  struct Counts {
    size_t errors = 0;
    size_t warnings = 0;  // needing review not included
    size_t review = 0;
    size_t Total() const { return errors + warnings + review; }
  };

  // The strings in tree order and the languages in list order; rows follow both.
  void SetOrder(const std::vector<Text>& paths, const std::vector<Text>& langIds);
  // Replaces what `source` reports for a language.
  void SetFindings(TextView langId, TextView source, std::vector<StringFindings> findings);
  // Replaces what `source` reports for one string of a language.
  void SetString(TextView langId, TextView source, TextView path, std::vector<CheckFinding> findings);
  // A language that is no longer loaded.
  void Forget(TextView langId);
  void Clear();

  // The languages that have reported, as they spell their IDs.
  std::vector<Text> Langs() const;
  std::vector<Row> Rows(const Filter& filter) const;
  std::vector<Row> Rows() const;
  Counts Count(const std::vector<Text>& langs = {}) const;
  // The worst finding of a string in one language, or in any language when `langId` is
  // empty; false when it has none.
  bool Worst(TextView langId, TextView path, CheckSeverity& worst) const;
  // Bumped at every change, so views know when to list again.
  uint64_t Version() const { return version_; }

 private:
  using ByPath = std::unordered_map<Text, std::vector<CheckFinding>>;
  using BySource = std::map<Text, ByPath>;
  bool WorstIn(const BySource& sources, TextView path, CheckSeverity& worst) const;
  BySource& Lang(TextView langId);

  std::map<Text, BySource> langs_;  // by lower-case language ID
  std::unordered_map<Text, size_t> pathOrder_;
  std::vector<Text> langOrder_;  // lower case
  std::unordered_map<Text, Text> shownIds_;  // lower case -> as the languages spell it
  uint64_t version_ = 0;
};
