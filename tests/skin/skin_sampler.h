// Windows that hold one of every kind of control the program draws, for
// trying looks on: a main window (tool bar with drop-down menus, job list
// with progress cells, preview controls, settings boxes, status bar) and a
// dialog (tabs with lists, one page disabled, combo boxes, check boxes,
// buttons, a read-only text box).
#pragma once

#include <QDialog>
#include <QMainWindow>
#include <QMenu>
#include <QStandardItemModel>

namespace skintest {

class SampleMainWindow : public QMainWindow {
 public:
  SampleMainWindow();
  QMenu* addMenu = nullptr;
  QMenu* skinMenu = nullptr;
  QStandardItemModel* jobs = nullptr;
  QWidget* jobList = nullptr;
};

class SampleDialog : public QDialog {
 public:
  explicit SampleDialog(QWidget* parent = nullptr);
};

}  // namespace skintest
