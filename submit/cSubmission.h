#pragma once
// What the submission dialog does, without the dialog: scanning every tool's language files
// for languages and contributors, packing one language into a 7-Zip archive beside the
// program, and uploading that archive. Messages go through the one message box.
#include <memory>
#include <vector>

#include "net/cHTTPUpload.h"
#include "platform/Event.h"
#include "platform/Text.h"
#include "xml/cXmlNode.h"

class cSubmission {
 public:
  // What the submit page holds when the user presses the submit button.
  struct SubmitRequest {
    Text langId;
    std::vector<long> tools;  // tool numbers, 1-based
    Text email;
    Text translatorId;
    Text comments;
    bool useProxy = false;
    Text proxyHost, proxyPort, proxyUser, proxyPass;
    Text serverHost;  // host or host:port
  };

  cSubmission();
  // A running upload is abandoned and its archive removed.
  ~cSubmission();
  cSubmission(const cSubmission&) = delete;
  cSubmission& operator=(const cSubmission&) = delete;

  // Where the archive and "comments.tmp" go: the program's folder unless set.
  Text ProgramFolder() const;
  void ProgramFolder(TextView folder) { programFolder_ = Text(folder); }
  // Scratch folder for packing: the temporary folder + "KsvLangEditor" unless set.
  Text WorkFolder() const;
  void WorkFolder(TextView folder) { workFolder_ = Text(folder); }

  // Rebuilds every list from the tools' files below the suite root.
  void FindAllLangs(TextView suiteRoot);
  // The language IDs of one file with their English names and countries; contributors not
  // seen yet are added to Contributors.
  std::vector<Text> GetFileLangList(TextView path, std::vector<Text>& names, std::vector<Text>& countries);
  // The tools (1-based numbers) that have the language, in table order.
  std::vector<long> ToolsForLang(TextView id) const;

  // Packs the language of the given tools; returns the archive's path beside the program,
  // or "" (the user has been told why).
  Text ExtractFiles(bool forUpload, TextView langId, const std::vector<long>& tools);

  // Packs and starts the upload; false when nothing was started.
  bool Submit(const SubmitRequest& request);
  // Stops a running upload; its archive is removed and the dialog stays.
  void CancelUpload();
  bool Uploading() const { return uploading_; }
  bool Packing() const { return packing_; }
  const Text& ArchivePath() const { return archive_; }

  // Lists, 1-based through the accessors below, 0-based in the vectors.
  std::vector<Text> LangIDs, LangNames, LangCountries;
  std::vector<Text> ToolNames, ToolMasks;
  std::vector<std::vector<Text>> ToolLangs, ToolFiles;
  std::vector<XmlNodePtr> Contributors;

  cHTTPUpload& Uploader() { return *HTTPUpload; }

  // Packing started (true) or ended (false): the 7z run can take a while.
  Event<bool> PackingChanged;
  Event<> UploadStarted;
  Event<long, long> UploadProgress;
  // The upload is over; closeDialog when it succeeded and the dialog should close.
  Event<bool> UploadEnded;

 private:
  void HTTPUpload_TransfertEnd(bool success, const Text& responseCode);
  void FinishUpload(bool success, const Text& code, const Text& page);
  void SetPacking(bool on);

  Text programFolder_;
  Text workFolder_;
  Text suiteRoot_;
  Text archive_;
  bool uploading_ = false;
  bool packing_ = false;
  bool cancelled_ = false;
  std::unique_ptr<cHTTPUpload> HTTPUpload;
  std::vector<Connection> conns_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
