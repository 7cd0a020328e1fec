#pragma once
// The main window started, for a screenshot, on a private copy of a suite: no read-me,
// no update check, every message answered with `answer`.
#include <QAction>
#include <algorithm>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/mConfig.h"
#include "forms/frmMain.h"
#include "platform/MsgBox.h"
#include "platform/QtText.h"

namespace shots {

// Copies `suite` to a fresh temporary folder named after `tag`; returns that folder.
inline std::string CopySuite(const std::string& suite, const std::string& tag, int answer) {
  std::string root = std::filesystem::temp_directory_path().string() + "/" + tag + "_" + std::to_string(getpid());
  std::filesystem::copy(suite, root, std::filesystem::copy_options::recursive);
  mConfig::SetConfigPath(txt::FromUtf8(root + "/KsvLangEditor.xml"));
  platform::SetMsgBoxHandler([answer](const platform::MsgBoxRequest&) { return answer; });
  return root;
}

inline bool Start(frmMain& w, const std::string& root) {
  frmMain::StartOptions o;
  o.programFolder = txt::FromUtf8(root + "/KestrovaTools");
  o.runningImages = [] { return std::vector<Text>{}; };
  o.silentUpdateCheck = false;
  o.showReadme = false;
  return w.Form_Load(o);
}

// Selects the first tool and loads the languages of `ids` it has (every one when empty).
inline void LoadLangs(frmMain& w, const std::vector<Text>& ids = {}) {
  w.mnuSelectToolChoice[1]->trigger();
  for (size_t i = 1; i < w.mnuLoadLanguageChoice.size(); ++i) {
    Text tag = qtxt::FromQ(w.mnuLoadLanguageChoice[i]->data().toString());
    if (w.mnuLoadLanguageChoice[i]->isEnabled() && (ids.empty() || std::find(ids.begin(), ids.end(), tag) != ids.end()))
      w.mnuLoadLanguageChoice[i]->trigger();
  }
}

}  // namespace shots
