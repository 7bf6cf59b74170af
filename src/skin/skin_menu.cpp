#include "skin/skin_menu.h"

#include "media/ffmpeg_logger.h"
#include "skin/saved_skin.h"
#include "skin/skin_apply.h"
#include "skin/skin_table.h"

namespace skin {

QActionGroup* BuildSkinMenu(QMenu* menu, const std::string& currentValue,
                            std::function<void(const std::string& value)> onChosen) {
  auto* group = new QActionGroup(menu);
  group->setExclusive(true);
  for (const SkinEntry& entry : SkinEntries()) {
    if (!*entry.caption) continue;
    QAction* action = menu->addAction(QString::fromUtf8(entry.caption));
    action->setCheckable(true);
    action->setData(QString::fromUtf8(entry.value));
    action->setChecked(currentValue == entry.value);
    group->addAction(action);
  }
  QObject::connect(group, &QActionGroup::triggered, menu, [onChosen](QAction* action) {
    if (onChosen) onChosen(action->data().toString().toStdString());
  });
  return group;
}

void CheckSkinEntry(QActionGroup* group, const std::string& value) {
  const QString wanted = QString::fromStdString(value);
  for (QAction* action : group->actions()) action->setChecked(action->data().toString() == wanted);
}

bool ChooseSkin(QWidget* mainWindow, const std::string& value, platform::IniFile& systemIni,
                const std::string& programFolder) {
  const SkinEntry* entry = FindSkin(value);
  if (!entry) return false;
  ApplySkin(mainWindow, *entry, programFolder);
  if (entry->look == TUIStyle::FromThemeFile) RestoreApplication();
  if (!WriteSkinSetting(systemIni, entry->value)) {
    Log(nullptr, llError, "Cannot store the skin choice in " + systemIni.Path());
    return false;
  }
  return true;
}

}  // namespace skin
