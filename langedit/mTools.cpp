#include "langedit/mTools.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "storage/mFileUtils.h"

namespace mTools {
namespace {

// The table as the suite documents it: display name / pattern below the suite root.
constexpr char16_t kToolsTable[] =
    u"Kestrova Menu/KestrovaTools\\KestrovaMenu\\Languages\\KestrovaMenu_*.xml"
    u"|Kestrova Setup/KestrovaTools\\Setup\\KVSetup_*.xml"
    u"|Type Linker/KestrovaTools\\TypeLinker\\TypeLinker_*.xml"
    u"|Kestrova Packager/KestrovaTools\\KestrovaPackager\\KestrovaPackager_*.xml"
    u"|Kestrova Stopper/KestrovaTools\\KVStopper\\KVStopper_*.xml"
    u"|Kestrova Builder/KestrovaTools\\KVBuildScan\\KVBuildScan_*.xml"
    u"|SDX/KestrovaTools\\SDX\\SDX_*.xml"
    u"|Kestrova Unplug/KestrovaTools\\KvUnplugger\\KvUnplug_*.xml";

Text Native(TextView p) { return txt::Replace(p, u"\\", u"/"); }

// Cuts a path at its last separator; a path without one becomes empty.
Text CutLast(TextView p) { return mFileUtils::FilePathOnly(p); }

bool HasLauncher(TextView folder) {
  return !folder.empty() && mFileUtils::FileExists(mFileUtils::AddDirSep(folder) + kLauncher);
}

}  // namespace

const std::vector<Tool>& Tools() {
  static const std::vector<Tool> tools = [] {
    std::vector<Tool> t;
    for (const Text& row : txt::Split(kToolsTable, u"|")) {
      std::vector<Text> cols = txt::Split(row, u"/");
      if (cols.size() == 2) t.push_back({cols[0], cols[1]});
    }
    return t;
  }();
  return tools;
}

Text ToolPattern(TextView suiteRoot, const Tool& tool) {
  return mFileUtils::AddDirSep(Native(suiteRoot)) + Native(tool.pattern);
}

Text IconsFolder(TextView suiteRoot) {
  return mFileUtils::AddDirSep(Native(suiteRoot)) + u"KestrovaTools/KestrovaMenu/Languages/Icons/";
}

Text IconFile(TextView suiteRoot, TextView icon) {
  if (suiteRoot.empty() || icon.empty() || icon == u"." || icon == u"..") return Text();
  for (char16_t c : icon)
    if (c == u'/' || c == u'\\' || c < 0x20) return Text();
  Text path = IconsFolder(suiteRoot) + Text(icon);
  // A pipe or a device would block or never end when read on every repaint.
  std::error_code ec;
  if (!std::filesystem::is_regular_file(mFileUtils::NativePath(path), ec)) return Text();
  return path;
}

Text FindKSVRoot(TextView programFolder, const std::function<std::vector<Text>()>& runningImages) {
  Text folder(programFolder);
  while (folder.size() > 1 && (folder.back() == u'/' || folder.back() == u'\\')) folder.pop_back();
  while (!folder.empty() && !HasLauncher(folder)) folder = CutLast(folder);

  if (folder.empty() && runningImages) {
    std::vector<Text> candidates;
    for (const Text& image : runningImages()) {
      if (!mFileUtils::WildcardMatch(u"*KestrovaMenu.exe", image)) continue;
      // file -> its folder -> KestrovaTools -> suite root
      Text root = CutLast(CutLast(CutLast(image)));
      if (HasLauncher(root) && std::find(candidates.begin(), candidates.end(), root) == candidates.end())
        candidates.push_back(root);
    }
    if (candidates.size() == 1) folder = candidates[0];
  }
  if (!HasLauncher(folder)) return Text();
  return mFileUtils::AddDirSep(folder);
}

}  // namespace mTools
