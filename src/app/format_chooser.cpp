#include "app/format_chooser.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/dialog_seams.h"
#include "app/options_dialog.h"
#include "app/type_icons.h"
#include "profiles/output_catalogue.h"

namespace app {
namespace {

QString Text(std::string_view text) { return QString::fromUtf8(text.data(), int(text.size())); }

}  // namespace

FormatChooser::FormatChooser(WindowState& state, QWidget* parent) : QDialog(parent), state_(state) {
  setObjectName("TForm7");
  setWindowTitle(QStringLiteral("选择转换格式"));
  setModal(true);
  setFixedSize(660, 500);

  auto* layout = new QVBoxLayout(this);
  auto* hint = new QLabel(QStringLiteral("请选择要转换成的输出格式："), this);
  layout->addWidget(hint);
  pages_ = new QTabWidget(this);
  pages_->setObjectName("PageControl1");
  layout->addWidget(pages_, 1);

  for (const profiles::TOutputTab& tab : profiles::OutputTabs()) {
    auto* list = new QListWidget(pages_);
    list->setObjectName(Text(tab.ListName));
    list->setViewMode(QListView::IconMode);
    list->setIconSize(QSize(kTypeIconSize, kTypeIconSize));
    list->setGridSize(QSize(148, 112));
    list->setResizeMode(QListView::Adjust);
    list->setMovement(QListView::Static);
    list->setWordWrap(true);
    list->setUniformItemSizes(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSpacing(2);
    list->viewport()->installEventFilter(this);
    lists_[size_t(tab.Page)] = list;
    pages_->addTab(list, Text(tab.Caption));
    // Pages other than the first can be brought to the front, but their
    // lists take no clicks or keys.
    list->setEnabled(tab.Enabled);
    const int page = tab.Page;
    connect(list, &QListWidget::itemSelectionChanged, this, [this, page] { SelectionChanged(page); });
    connect(list, &QListWidget::itemDoubleClicked, this, [this] { Next(); });
  }
  // Filled in this order; the last fill (the first page) decides the code.
  for (int page : {2, 1, 3, 0}) FillList(page);
  pages_->setCurrentIndex(0);
  connect(pages_, &QTabWidget::currentChanged, this, &FormatChooser::TabChanged);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  next_ = new QPushButton(QStringLiteral("下一步"), this);
  next_->setObjectName("Button1");
  next_->setDefault(true);
  cancel_ = new QPushButton(QStringLiteral("取消"), this);
  cancel_->setObjectName("Button2");
  buttons->addWidget(next_);
  buttons->addWidget(cancel_);
  layout->addLayout(buttons);
  connect(next_, &QPushButton::clicked, this, &FormatChooser::Next);
  connect(cancel_, &QPushButton::clicked, this, [this] {
    chooseResult_ = QStringLiteral("2");
    reject();
  });
}

void FormatChooser::FillList(int page) {
  QListWidget* list = List(page);
  list->clear();
  for (const profiles::TOutputType& type : profiles::OutputTypesOfPage(page)) {
    auto* item = new QListWidgetItem(QIcon(TypeIcon(type)), Text(type.Caption), list);
    item->setTextAlignment(Qt::AlignHCenter | Qt::AlignTop);
    item->setSizeHint(QSize(144, 108));
  }
  // The audio page starts without a selection.
  if (page != 3 && list->count() > 0) list->setCurrentRow(0);
}

bool FormatChooser::HasSelection(int page) const { return !List(page)->selectedItems().isEmpty(); }

void FormatChooser::SelectionChanged(int page) {
  QListWidget* list = List(page);
  const int row = HasSelection(page) ? list->row(list->selectedItems().first()) : -1;
  state_.OutputTypeCode = profiles::OutputTypeCodeFor(page, row);
}

void FormatChooser::TabChanged(int page) {
  QListWidget* list = List(page);
  if (list->count() == 0) return;
  list->setCurrentRow(0);
  // Row 0 may have been selected already, which raises no selection change.
  state_.OutputTypeCode = profiles::OutputTypeCodeFor(page, 0);
}

void FormatChooser::ShowChooseMessage() {
  Inform(this, QStringLiteral("提示"), Text(profiles::kChooseTypeMessage));
}

void FormatChooser::Next() {
  if (!HasSelection(pages_->currentIndex()) || profiles::FindOutputType(state_.OutputTypeCode) == nullptr) {
    ShowChooseMessage();
    return;
  }
  done(kNext);
}

bool FormatChooser::ChooseAndConfigure(OptionsDialog& options) {
  for (;;) {
    if (exec() != kNext) return false;
    if (options.exec() == QDialog::Accepted) return true;
  }
}

void FormatChooser::showEvent(QShowEvent* event) {
  chooseResult_ = QStringLiteral("1");
  QDialog::showEvent(event);
}

void FormatChooser::closeEvent(QCloseEvent* event) {
  QDialog::closeEvent(event);
  if (parentWidget() != nullptr) parentWidget()->update();
}

bool FormatChooser::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease) {
    for (int page = 0; page < int(lists_.size()); ++page) {
      if (watched != List(page)->viewport() || !List(page)->isEnabled()) continue;
      // Judged once the view has handled the click.
      QMetaObject::invokeMethod(
          this, [this, page] {
            if (!HasSelection(page)) ShowChooseMessage();
          },
          Qt::QueuedConnection);
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace app
