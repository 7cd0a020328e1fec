#include "submit/cSubmission.h"

#include <exception>

#include "AppInfo.h"
#include "langedit/mTools.h"
#include "platform/ErrLog.h"
#include "platform/EventLoop.h"
#include "platform/MsgBox.h"
#include "platform/ProcessTools.h"
#include "storage/VbDate.h"
#include "storage/mFileUtils.h"
#include "storage/mTextFile.h"
#include "submit/c7z.h"
#include "submit/mSubmit.h"

using namespace platform;

namespace {

void Trap(const char* routine, const std::exception* e) {
  ErrLog::Exception(std::string("cSubmission.") + routine, e ? e->what() : "unknown error");
}

XmlNodePtr ReadXmlFile(TextView path) {
  int mode = 0;
  Text text = mTextFile::LoadTextFile(path, false, true, mode);
  if (text.empty()) return nullptr;
  auto doc = cXmlNode::New();
  doc->XmlData___NonRecursif(std::move(text));
  return doc;
}

// The language element of that ID (any letter case) under "Languages".
XmlNodePtr FindLanguage(const XmlNodePtr& doc, TextView id) {
  XmlNodePtr languages = doc ? doc->FindNode(u"Languages", true, false) : nullptr;
  if (!languages) return nullptr;
  long n = languages->ChildCount();
  for (long i = 1; i <= n; ++i) {
    XmlNodePtr c = languages->Child(i);
    if (c && txt::EqualsNoCase(c->Name(), id)) return c;
  }
  return nullptr;
}

Text Join(TextView folder, TextView name) { return mFileUtils::AddDirSep(folder) + Text(name); }

// Clean-ups whose failure only leaves a stray file or folder behind: logged, not shown.
void Discard(TextView pattern) {
  if (!mFileUtils::DeleteFiles(pattern, true)) ErrLog::Line(u"Could not delete " + Text(pattern));
}
void DiscardFolder(TextView folder) {
  if (!mFileUtils::KillFolder(folder, true) && mFileUtils::FolderExists(folder))
    ErrLog::Line(u"Could not delete the folder " + Text(folder));
}
void DiscardFile(TextView path) {
  if (!mTextFile::KillFile(path, 0)) ErrLog::Line(u"Could not delete " + Text(path));
}

}  // namespace

cSubmission::cSubmission() : HTTPUpload(std::make_unique<cHTTPUpload>()) {
  conns_.push_back(HTTPUpload->TransfertEnd.Subscribe(
      [this](bool success, const Text& code) { HTTPUpload_TransfertEnd(success, code); }));
  conns_.push_back(HTTPUpload->TransfertProgress.Subscribe(
      [this](long next, long length) { UploadProgress.Raise(next, length); }));
}

cSubmission::~cSubmission() {
  *alive_ = false;
  try {
    conns_.clear();
    // An upload still running, or cancelled without its end handled, leaves a stray archive.
    bool stray = uploading_ || cancelled_;
    HTTPUpload.reset();
    if (stray && !archive_.empty()) Discard(archive_);
  } catch (...) {
  }
}

Text cSubmission::ProgramFolder() const {
  if (!programFolder_.empty()) return programFolder_;
  return txt::FromUtf8(proc::ExecutableFolder());
}

Text cSubmission::WorkFolder() const {
  if (!workFolder_.empty()) return workFolder_;
  return txt::FromUtf8(proc::TempFolder()) + mSubmit::kWorkFolderName;
}

void cSubmission::FindAllLangs(TextView suiteRoot) {
  try {
    suiteRoot_ = Text(suiteRoot);
    LangIDs.clear();
    LangNames.clear();
    LangCountries.clear();
    ToolNames.clear();
    ToolMasks.clear();
    ToolLangs.clear();
    ToolFiles.clear();
    Contributors.clear();
    for (const mTools::Tool& tool : mTools::Tools()) {
      ToolNames.push_back(tool.name);
      ToolMasks.push_back(tool.pattern);
      std::vector<Text> langs, files;
      if (!suiteRoot_.empty()) {
        Text pattern = mTools::ToolPattern(suiteRoot_, tool);
        Text folder = mFileUtils::FilePathOnly(pattern);
        for (const Text& name : mFileUtils::GetFileList(pattern)) {
          Text path = Join(folder, name);
          std::vector<Text> names, countries;
          std::vector<Text> ids = GetFileLangList(path, names, countries);
          for (size_t i = 0; i < ids.size(); ++i) {
            if (!mSubmit::StrInCol(ids[i], LangIDs)) {
              LangIDs.push_back(ids[i]);
              LangNames.push_back(names[i]);
              LangCountries.push_back(countries[i]);
            }
            if (!mSubmit::StrInCol(ids[i], langs)) {
              langs.push_back(ids[i]);
              files.push_back(path);
            }
          }
        }
      }
      ToolLangs.push_back(std::move(langs));
      ToolFiles.push_back(std::move(files));
    }
  } catch (const std::exception& e) {
    Trap("FindAllLangs", &e);
  } catch (...) {
    Trap("FindAllLangs", nullptr);
  }
}

std::vector<Text> cSubmission::GetFileLangList(TextView path, std::vector<Text>& names,
                                               std::vector<Text>& countries) {
  std::vector<Text> ids;
  names.clear();
  countries.clear();
  try {
    XmlNodePtr doc = ReadXmlFile(path);
    XmlNodePtr languages = doc ? doc->FindNode(u"Languages", true, false) : nullptr;
    if (!languages) return ids;
    long n = languages->ChildCount();
    for (long i = 1; i <= n; ++i) {
      XmlNodePtr lang = languages->Child(i);
      if (!lang) continue;
      // The ID becomes part of file paths and of a request header.
      if (!mSubmit::IsSafeLangID(lang->Name())) {
        ErrLog::Line(u"Skipped language ID [" + lang->Name() + u"] in " + Text(path));
        continue;
      }
      ids.push_back(lang->Name());
      names.push_back(lang->Attribut(u"en_name"));
      countries.push_back(lang->Attribut(u"en_country"));
      XmlNodePtr contribs = lang->GetChildNode(u"Contributors", false, true);
      if (!contribs) continue;
      long m = contribs->ChildCount();
      for (long k = 1; k <= m; ++k) {
        XmlNodePtr c = contribs->Child(k);
        if (c && !mSubmit::XmlInCol(c, Contributors)) Contributors.push_back(c->Clone());
      }
    }
  } catch (const std::exception& e) {
    Trap("GetFileLangList", &e);
    ids.clear();
    names.clear();
    countries.clear();
  }
  return ids;
}

std::vector<long> cSubmission::ToolsForLang(TextView id) const {
  std::vector<long> tools;
  for (size_t t = 0; t < ToolLangs.size(); ++t)
    if (mSubmit::StrInCol(id, ToolLangs[t])) tools.push_back(static_cast<long>(t + 1));
  return tools;
}

void cSubmission::SetPacking(bool on) {
  packing_ = on;
  PackingChanged.Raise(on);
}

Text cSubmission::ExtractFiles(bool forUpload, TextView langId, const std::vector<long>& tools) {
  if (langId.empty() || packing_) return Text();
  Text id(langId);
  Text result;
  Text work = WorkFolder();
  auto alive = alive_;
  try {
    if (!mSubmit::IsSafeLangID(id)) return Text();
    SetPacking(true);
    // Whatever an earlier run left in the work folder would be packed too.
    DiscardFolder(work);
    bool clean = !mFileUtils::FolderExists(work);

    long written = 0;
    for (long t : clean ? tools : std::vector<long>()) {
      if (t < 1 || t > static_cast<long>(ToolLangs.size())) continue;
      const auto& langs = ToolLangs[static_cast<size_t>(t - 1)];
      for (size_t i = 0; i < langs.size(); ++i) {
        if (!txt::EqualsNoCase(langs[i], id)) continue;
        XmlNodePtr lang = FindLanguage(ReadXmlFile(ToolFiles[static_cast<size_t>(t - 1)][i]), id);
        XmlNodePtr doc = mSubmit::CleanLanguageDocument(lang);
        if (!doc) break;
        Text target = Join(work, mSubmit::PackedFileName(ToolMasks[static_cast<size_t>(t - 1)], id));
        if (mTextFile::SaveFile(target, doc->XmlData())) ++written;
        else ErrLog::Line(u"Could not write " + target);
        break;
      }
    }

    c7z zip;
    zip.Path7zip(Join(suiteRoot_, u"KestrovaTools/Setup/7z.exe"));
    Text archive = Join(work, mSubmit::ArchiveFileName(id, vbdate::Now()));
    zip.FileName(archive);
    // An archive without a single translation would be sent as if it were one.
    bool ok = written > 0 && zip.Add(mSubmit::kToolsRoot);
    if (!*alive) return Text();
    if (ok) {
      Text comments = Join(ProgramFolder(), mSubmit::kCommentsTmp);
      if (mFileUtils::FileExists(comments)) {
        Text inWork = Join(work, mSubmit::kCommentsInArchive);
        // Comments that did not reach the archive are a failed packing, not a silent loss.
        ok = mFileUtils::MoveFileTo(comments, inWork) && zip.Add(mSubmit::kCommentsInArchive);
        if (!*alive) return Text();
      }
    }
    SetPacking(false);
    if (!ok) {
      MsgBox(mSubmit::kMsgCompressError, vbCritical);
      Discard(archive);
    } else {
      Text moved = Join(ProgramFolder(), mFileUtils::FileNameOnly(archive));
      if (mFileUtils::MoveFileTo(archive, moved)) {
        result = moved;
      } else {
        MsgBox(mSubmit::kMsgMoveError, vbCritical);
      }
    }
    DiscardFolder(work);
    if (!result.empty() && !forUpload)
      MsgBox(Text(mSubmit::kMsgCompressed) + u"\r\n\r\n" + result, vbInformation);
  } catch (const std::exception& e) {
    Trap("ExtractFiles", &e);
    result.clear();
  } catch (...) {
    Trap("ExtractFiles", nullptr);
    result.clear();
  }
  if (*alive && packing_) SetPacking(false);
  return result;
}

bool cSubmission::Submit(const SubmitRequest& r) {
  if (uploading_ || packing_ || r.langId.empty()) return false;
  Text comments = Join(ProgramFolder(), mSubmit::kCommentsTmp);
  auto alive = alive_;
  try {
    cHTTPUpload& up = *HTTPUpload;
    up.RequestHeaders.clear();
    if (r.useProxy) {
      up.ProxyHost(r.proxyHost);
      up.ProxyPort(static_cast<long>(txt::ToInt(r.proxyPort)));
      up.ProxyUserName(r.proxyUser);
      up.ProxyPassword(r.proxyPass);
    } else {
      // A proxy given for an earlier try must not outlive its check box.
      up.ProxyHost(u"");
    }
    if (!mSubmit::IsSafeLangID(r.langId)) return false;
    up.RequestHeaders.push_back(mSubmit::kLangIdHeader + r.langId);
    up.Username(r.email);
    up.Password(r.translatorId);
    // Unwritten comments stop here: a leftover comments file of an earlier run would
    // otherwise be packed and sent in their place.
    if (!mTextFile::SaveFile(comments, r.comments)) {
      ErrLog::Line(u"Could not write " + comments);
      DiscardFile(comments);
      MsgBox(mSubmit::kMsgCompressError, vbCritical);
      return false;
    }

    Text archive = ExtractFiles(true, r.langId, r.tools);
    if (!*alive) return false;
    bool started = false;
    if (!archive.empty()) {
      archive_ = archive;
      cancelled_ = false;
      uploading_ = true;
      started = up.SendFile(archive, mSubmit::UploadURL(r.serverHost), u"", u"", u"", u"", mSubmit::kFieldName);
      if (started) {
        UploadStarted.Raise();
      } else {
        uploading_ = false;
        FinishUpload(false, Text(), Text());
      }
    }
    DiscardFile(comments);
    return started;
  } catch (const std::exception& e) {
    Trap("Submit", &e);
  } catch (...) {
    Trap("Submit", nullptr);
  }
  if (*alive) DiscardFile(comments);
  return false;
}

void cSubmission::CancelUpload() {
  if (!uploading_) return;
  cancelled_ = true;
  HTTPUpload->Cancel();
}

void cSubmission::HTTPUpload_TransfertEnd(bool success, const Text& responseCode) {
  if (!uploading_) return;
  uploading_ = false;
  Text page = HTTPUpload->ResponsePage();
  // Answered outside the socket's notification: the boxes below run their own loop.
  auto alive = alive_;
  PostCall([this, alive, success, responseCode, page] {
    if (*alive) FinishUpload(success, responseCode, page);
  });
}

void cSubmission::FinishUpload(bool success, const Text& code, const Text& page) {
  try {
    if (cancelled_) {
      cancelled_ = false;
      Discard(archive_);
      UploadEnded.Raise(false);
      return;
    }
    if (success && mSubmit::IsOkAnswer(page)) {
      MsgBox(mSubmit::OkAnswerText(page), vbInformation);
      int keep = MsgBox(Text(mSubmit::kMsgKeepZip) + u"\r\n\r\n" + mFileUtils::FileNameOnly(archive_), vbYesNo | vbQuestion);
      if (keep == vbNo) Discard(archive_);
      UploadEnded.Raise(true);
      return;
    }
    MsgBox(Text(mSubmit::kMsgSendError) + KSV_SITE_NAME + u"\r\n" + page, vbCritical, u"Error " + code);
    Discard(archive_);
    UploadEnded.Raise(false);
  } catch (const std::exception& e) {
    Trap("FinishUpload", &e);
  } catch (...) {
    Trap("FinishUpload", nullptr);
  }
}
