#include "langedit/mFileSafety.h"

#include <algorithm>
#include <exception>

#include "platform/ErrLog.h"
#include "platform/FileSys.h"
#include "platform/MsgBox.h"
#include "storage/mFileUtils.h"
#include "storage/mStringTools.h"
#include "storage/mTextFile.h"

namespace mFileSafety {
namespace {

bool NameChar(char16_t c) { return c > u' ' && c != u'>' && c != u'/' && c != u'<'; }

// Position just after `end` searched from `from`, or the text's end when missing.
size_t After(TextView s, size_t from, TextView end) {
  size_t p = s.find(end, from);
  return p == TextView::npos ? s.size() : p + end.size();
}

// Position after the tag opened at `lt` (quotes may hold '>'); sets selfClosing.
size_t TagEnd(TextView s, size_t lt, bool& selfClosing) {
  char16_t quote = 0;
  for (size_t i = lt + 1; i < s.size(); ++i) {
    char16_t c = s[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == u'"' || c == u'\'') {
      quote = c;
    } else if (c == u'>') {
      selfClosing = s[i - 1] == u'/';
      return i + 1;
    }
  }
  selfClosing = false;
  return s.size();
}

// The translator chose to drop the copy; one that stays is said so, not left unnoticed.
void DeleteCopy(const Text& copy) {
  if (!mTextFile::KillFile(copy, 20))
    platform::MsgBox(u"The copy could not be deleted; it stays as it is:\r\n\r\n" + copy, platform::vbCritical);
}

}  // namespace

bool NestsDeeperThan(TextView s, long maxDepth) {
  long depth = 0;
  size_t i = 0;
  while ((i = s.find(u'<', i)) != TextView::npos) {
    TextView rest = s.substr(i);
    if (rest.substr(0, 4) == u"<!--") {
      i = After(s, i + 4, u"-->");
    } else if (rest.substr(0, 9) == u"<![CDATA[") {
      i = After(s, i + 9, u"]]>");
    } else if (rest.substr(0, 2) == u"<?" || rest.substr(0, 2) == u"<!") {
      i = After(s, i + 2, u">");
    } else if (rest.size() > 1 && rest[1] == u'/') {
      if (depth > 0) --depth;
      i = After(s, i + 2, u">");
    } else if (rest.size() > 1 && NameChar(rest[1])) {
      bool selfClosing = false;
      i = TagEnd(s, i, selfClosing);
      if (!selfClosing && ++depth > maxDepth) return true;
    } else {
      ++i;
    }
  }
  return false;
}

Text TooDeepMessage(TextView path) {
  return u"This file cannot be opened:\r\n\r\n" + Text(path) + u"\r\n\r\nIts elements are nested more than " +
         txt::FromInt(kMaxNesting) + u" levels deep, more than the editor can show.";
}

std::vector<Text> LeftoverCopies(TextView file) {
  std::vector<Text> out;
  try {
    Text folder = mFileUtils::FilePathOnly(file);
    for (const Text& name : mFileUtils::GetFileList(Text(file) + u".*.tmp", mFileUtils::ATTR_HIDDEN)) {
      // Only the numbered names a save uses: the file's name, a dot, digits, ".tmp".
      TextView num = TextView(name).substr(mFileUtils::FileNameOnly(file).size());
      if (num.size() < 8 || num[0] != u'.') continue;
      num = num.substr(1, num.size() - 5);
      if (num.size() < 3 || !std::all_of(num.begin(), num.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; }))
        continue;
      out.push_back(folder.empty() ? name : mFileUtils::AddDirSep(folder) + name);
    }
    std::sort(out.begin(), out.end());
  } catch (const std::exception& e) {
    ErrLog::Exception("mFileSafety.LeftoverCopies", e.what());
  }
  return out;
}

bool LooksComplete(TextView s) {
  // The root element: the first tag that is no declaration, comment or instruction.
  size_t i = 0;
  while ((i = s.find(u'<', i)) != TextView::npos) {
    TextView rest = s.substr(i);
    if (rest.substr(0, 4) == u"<!--") i = After(s, i + 4, u"-->");
    else if (rest.substr(0, 2) == u"<?" || rest.substr(0, 2) == u"<!") i = After(s, i + 2, u">");
    else break;
  }
  if (i == TextView::npos || i + 1 >= s.size() || !NameChar(s[i + 1])) return false;
  size_t n = i + 1;
  while (n < s.size() && NameChar(s[n])) ++n;
  Text name(s.substr(i + 1, n - i - 1));
  bool selfClosing = false;
  size_t end = TagEnd(s, i, selfClosing);
  if (end > s.size() || (end == s.size() && s.back() != u'>')) return false;
  if (selfClosing) return mStringTools::xTrim(s.substr(end)).empty();
  Text trimmed = mStringTools::xTrim(s);
  Text close = u"</" + name + u">";
  return trimmed.size() >= close.size() && TextView(trimmed).substr(trimmed.size() - close.size()) == close;
}

bool OfferLeftovers(TextView file) {
  bool replaced = false;
  try {
    for (const Text& copy : LeftoverCopies(file)) {
      int mode = 0;
      bool complete = LooksComplete(mTextFile::LoadTextFile(copy, false, true, mode));
      Text intro = u"An interrupted save left a temporary copy of this language file:\r\n\r\n" + copy + u"\r\n\r\n";
      if (complete) {
        int answer = platform::MsgBox(intro + u"The copy is complete. Do you want to restore it in place of\r\n" +
                                          Text(file) +
                                          u" ?\r\n\r\nYes: restore the copy (the current file is replaced)\r\n"
                                          u"No: delete the copy\r\nCancel: keep both for now",
                                      platform::vbYesNoCancel | platform::vbExclamation);
        if (answer == platform::vbYes) {
          if (platform::fs::ReplaceFile(mFileUtils::NativePath(copy), mFileUtils::NativePath(file))) {
            if (!platform::fs::FsyncDir(mFileUtils::NativePath(mFileUtils::FilePathOnly(file))))
              ErrLog::Line(u"Folder not flushed after restoring " + Text(file));
            replaced = true;
          } else {
            platform::MsgBox(u"The copy could not be restored; it stays as it is:\r\n\r\n" + copy,
                             platform::vbCritical);
          }
        } else if (answer == platform::vbNo) {
          DeleteCopy(copy);
        }
      } else {
        int answer = platform::MsgBox(intro + u"The copy is incomplete and cannot be restored. Do you want "
                                              u"to delete it?",

                                      platform::vbYesNo | platform::vbExclamation);
        if (answer == platform::vbYes) DeleteCopy(copy);
      }
    }
  } catch (const std::exception& e) {
    ErrLog::Exception("mFileSafety.OfferLeftovers", e.what());
  }
  return replaced;
}

}  // namespace mFileSafety
