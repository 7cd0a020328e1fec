#pragma once
// The rules of the submission dialog that need no window: which e-mail addresses and
// language IDs are accepted, how languages and contributors are captioned, the names of the
// packed files, and the server's answer.
#include <vector>

#include "platform/Text.h"
#include "storage/VbDate.h"
#include "xml/cXmlNode.h"

namespace mSubmit {

inline constexpr char16_t kWorkFolderName[] = u"KsvLangEditor";
inline constexpr char16_t kCommentsTmp[] = u"comments.tmp";
inline constexpr char16_t kCommentsInArchive[] = u"Translator_Comments.txt";
inline constexpr char16_t kArchivePrefix[] = u"KSVLangPack_";
inline constexpr char16_t kArchiveStamp[] = u"yyyy-mm-dd_hh-nn-ss";
inline constexpr char16_t kPackedVersion[] = u"0.2";
inline constexpr char16_t kToolsRoot[] = u"KestrovaTools";
inline constexpr char16_t kLangIdHeader[] = u"x-lng-id: ";
inline constexpr char16_t kUploadPath[] = u"/translation/";
inline constexpr char16_t kFieldName[] = u"file";

inline constexpr char16_t kMsgCompressError[] = u"Error while compressing data !";
inline constexpr char16_t kMsgMoveError[] = u"Error while moving the zip file";
inline constexpr char16_t kMsgCompressed[] = u"The files have been compressed in the following archive:";
inline constexpr char16_t kMsgKeepZip[] = u"Do you keep the ZIP file as a backup?";
inline constexpr char16_t kMsgSendError[] = u"An error occurred while trying to send your translation to ";

bool IsValidEmail(TextView text);
// Letters, digits, "-" and "_" only: the ID goes into paths and into a header line.
bool IsSafeLangID(TextView id);
// Case-insensitive membership.
bool StrInCol(TextView text, const std::vector<Text>& list);
// Membership by the full serialized XML of the node.
bool XmlInCol(const XmlNodePtr& node, const std::vector<XmlNodePtr>& list);

// "French [fr]", "Portuguese - Brazil [pt-BR]"; the file's English names win for regional
// IDs, the locale table fills what they leave empty.
Text LangCaption(TextView id, TextView enName, TextView enCountry);
// "name <email>"
Text ContributorCaption(const XmlNodePtr& contributor);

// The file a language is packed as, relative to the work folder: the mask's folder with
// "/" separators and its file name with "*" replaced by the ID.
Text PackedFileName(TextView mask, TextView id);
// "KSVLangPack_fr_2026-01-31_12-00-00.7z"
Text ArchiveFileName(TextView id, VbDate localTime);
// A new document holding only the copy of one language without its empty elements.
XmlNodePtr CleanLanguageDocument(const XmlNodePtr& language);
// "http://" + host + "/translation/"
Text UploadURL(TextView host);

// Whether a page answers a successful upload, and the server's words after "OK".
bool IsOkAnswer(TextView page);
Text OkAnswerText(TextView page);

}  // namespace mSubmit
