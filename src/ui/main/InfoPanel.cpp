#include "ui/main/InfoPanel.h"
#include "ui/main/ThemeColors.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>

#include "inventory/EntryList.h"
#include "ui/main/CommandImages.h"
#include "ui/main/MainTexts.h"

namespace pgl {

namespace {

struct Row {
  const char* value;
  const char* caption;
  int left, top;
  enum Kind { Bold, Plain, Exe, Link, Key } kind;
};

// Positions at the design font; the panel scales them to the font in use.
const Row kRows[] = {
    {"lblDisplayName", "lblDetName", 106, 6, Row::Bold},
    {"lblDisplayVersion", "lblDetVersion", 106, 25, Row::Plain},
    {"lblPublisher", "lblDetPublisher", 106, 44, Row::Plain},
    {"lblExeFile", "lblDetExeFile", 105, 69, Row::Exe},
    {"lblUrlInfo", "lblDetUrlInfo", 106, 95, Row::Link},
    {"lblUrlUpdate", "lblDetUrlUpdate", 106, 114, Row::Link},
    {"lblHelpLink", "lblDetHelpLink", 106, 133, Row::Link},
    {"lblUninstallKey", "lblDetUninstallKey", 106, 160, Row::Key},
    {"lblARPCacheKey", "lblDetARPCacheKey", 106, 179, Row::Key},
    {"lblUninstallCommand", "lblDetUninstallCommand", 151, 205, Row::Plain},
    {"lblQuietUninstallCommand", "lblDetQuietUninstallCommand", 151, 221, Row::Plain},
};

QString FromUtf8(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

LinkLabel::LinkLabel(const QString& name, const QColor& colour, QWidget* parent) : QLabel(parent) {
  setObjectName(name);
  setCursor(Qt::PointingHandCursor);
  QPalette palette = this->palette();
  // A disabled label keeps the platform's grey; the colour is fitted to the theme.
  const QColor shown = ThemeTextColor(colour, palette);
  for (const auto role : {QPalette::WindowText, QPalette::Text})
    for (const auto group : {QPalette::Active, QPalette::Inactive})
      palette.setColor(group, role, shown);
  setPalette(palette);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (!rect().contains(event->position().toPoint())) return;
  if (event->button() == Qt::LeftButton)
    emit leftReleased(event->modifiers() & Qt::ControlModifier);
  else if (event->button() == Qt::RightButton)
    emit rightReleased();
}

void LinkLabel::enterEvent(QEnterEvent*) {
  QFont f = font();
  f.setUnderline(true);
  setFont(f);
}

void LinkLabel::leaveEvent(QEvent*) {
  QFont f = font();
  f.setUnderline(false);
  setFont(f);
}

TInfoPanel::TInfoPanel(QWidget* parent) : QFrame(parent) {
  setObjectName("pnBottom");
  setFrameStyle(QFrame::StyledPanel | QFrame::Plain);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Window);
  imgIconDetails_ = new QLabel(this);
  imgIconDetails_->setObjectName("imgIconDetails");
  imgIconDetails_->setAlignment(Qt::AlignCenter);
  imgIconDetails_->setContextMenuPolicy(Qt::CustomContextMenu);
  popImgDetails_ = new QMenu(this);
  popImgDetails_->setObjectName("popImgDetails");
  QAction* save = popImgDetails_->addAction(CommandIcon(kImgSaveReport), kSaveIconText);
  save->setObjectName("popSaveIcon");
  connect(save, &QAction::triggered, this, &TInfoPanel::saveIcon);
  connect(imgIconDetails_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { popImgDetails_->popup(imgIconDetails_->mapToGlobal(at)); });

  for (const Row& row : kRows) {
    AddCaption(row.caption);
    QLabel* value = nullptr;
    switch (row.kind) {
      case Row::Bold:
      case Row::Plain:
        value = AddValue(row.value, row.kind == Row::Bold);
        break;
      case Row::Exe: {
        LinkLabel* link = AddLink(row.value, QColor("#800080"));
        connect(link, &LinkLabel::leftReleased, this, [this, link](bool ctrl) {
          const std::string text = TrimBlanks(link->text().toStdString());
          if (text.empty()) return;
          emit openFile(FromUtf8(ctrl ? FolderOfFile(text) : text));
        });
        value = link;
        break;
      }
      case Row::Link: {
        LinkLabel* link = AddLink(row.value, QColor("#0000FF"));
        connect(link, &LinkLabel::leftReleased, this, [this, link](bool) {
          if (const auto url = WebAddressToOpen(link->text().toStdString()))
            emit openAddress(FromUtf8(*url));
        });
        value = link;
        break;
      }
      case Row::Key: {
        LinkLabel* link = AddLink(row.value, QColor("#008000"));
        connect(link, &LinkLabel::leftReleased, this, [this, link](bool) {
          if (!TrimBlanks(link->text().toStdString()).empty()) emit jumpToKey(link->text());
        });
        value = link;
        break;
      }
    }
    if (auto* link = qobject_cast<LinkLabel*>(value))
      connect(link, &LinkLabel::rightReleased, this, [this, link] { emit copyText(link->text()); });
  }
  lblDetails_ = AddLink("lblDetails", QColor("#0000FF"));
  lblDetails_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  connect(lblDetails_, &LinkLabel::leftReleased, this, [this](bool) {
    if (lblDetails_->isEnabled()) emit showDetails();
  });
  setMinimumHeight(2);
  SetLang(Language::English);
  PlaceLabels();
}

QLabel* TInfoPanel::AddCaption(const char* name) {
  auto* label = new QLabel(this);
  label->setObjectName(name);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  labels_[name] = label;
  return label;
}

LinkLabel* TInfoPanel::AddLink(const char* name, const QColor& colour) {
  auto* label = new LinkLabel(name, colour, this);
  label->setTextFormat(Qt::PlainText);
  labels_[name] = label;
  return label;
}

QLabel* TInfoPanel::AddValue(const char* name, bool bold) {
  auto* label = new QLabel(this);
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  if (bold) {
    QFont f = label->font();
    f.setBold(true);
    label->setFont(f);
  }
  labels_[name] = label;
  return label;
}

QLabel* TInfoPanel::Label(const QString& name) const {
  const auto it = labels_.find(name);
  return it == labels_.end() ? nullptr : it->second;
}

void TInfoPanel::PlaceLabels() {
  // The design rows are 19 pixels apart for a 13-pixel font, with the captions ending at
  // x = 100 (145 for the two commands); larger fonts spread the rows and widen the captions.
  const QFontMetrics metrics = fontMetrics();
  const double scale = std::max(1.0, metrics.height() / 14.0);
  const int lineHeight = metrics.height() + 2;
  const auto y = [&](int top) { return static_cast<int>(top * scale); };
  const auto widest = [&](bool commands) {
    int w = 0;
    for (const Row& row : kRows)
      if ((row.left > 140) == commands)
        w = std::max(w, metrics.horizontalAdvance(labels_[row.caption]->text()) + 4);
    return w;
  };
  const int iconRight = 4 + 42 + 4;
  const int captionRight = std::max(100, iconRight + widest(false));
  const int commandRight = std::max({145, 4 + widest(true), captionRight});
  imgIconDetails_->setGeometry(4, 4, 42, 35);
  const QRect details(width() - 20 - 88, y(17), 88, lineHeight);
  for (const Row& row : kRows) {
    const bool command = row.left > 140;
    const int right = command ? commandRight : captionRight;
    const int left = command ? 4 : iconRight;
    labels_[row.caption]->setGeometry(left, y(row.top), right - left, lineHeight);
    const int valueLeft = right + 6 - (row.kind == Row::Exe ? 1 : 0);
    // A long value on the Details link's line stops short of it instead of running under it.
    const bool besideLink =
        y(row.top) < details.bottom() && y(row.top) + lineHeight > details.top();
    const int valueRight = besideLink ? details.left() - 8 : width() - 8;
    labels_[row.value]->setGeometry(valueLeft, y(row.top), std::max(10, valueRight - valueLeft),
                                    lineHeight);
  }
  lblDetails_->setGeometry(details);
  setMinimumHeight(2);
}

void TInfoPanel::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  PlaceLabels();
}

void TInfoPanel::SetLang(Language lang) {
  lang_ = lang;
  imgIconDetails_->setAccessibleName(FromUtf8(Text(MainText::ProgramIcon, lang)));
  for (const TextPair& caption : PanelCaptions())
    labels_[caption.name]->setText(QString::fromUtf8(caption.Text(lang)));
  labels_["lblExeFile"]->setToolTip(FromUtf8(ExeFileHint(lang)));
  for (const char* name :
       {"lblUrlInfo", "lblUrlUpdate", "lblHelpLink", "lblUninstallKey", "lblARPCacheKey"})
    labels_[name]->setToolTip(FromUtf8(CopyHint(lang)));
  PlaceLabels();
}

void TInfoPanel::ClearBottomInfo() {
  for (const Row& row : kRows) labels_[row.value]->clear();
  labels_["lblDisplayName"]->setToolTip({});
  labels_["lblARPCacheKey"]->setToolTip(FromUtf8(CopyHint(lang_)));
}

void TInfoPanel::DisplayBottomInfo(const TUninstallInfo& entry, const std::string& name,
                                   const EntryKeyTexts& keys) {
  ClearBottomInfo();
  const std::pair<const char*, const std::string*> texts[] = {
      {"lblDisplayName", &name},
      {"lblDisplayVersion", &entry.DisplayVersion.str()},
      {"lblPublisher", &entry.Publisher.str()},
      {"lblExeFile", &entry.ExeFile},
      {"lblUrlInfo", &entry.URLInfoAbout.str()},
      {"lblUrlUpdate", &entry.URLUpdateInfo.str()},
      {"lblHelpLink", &entry.HelpLink.str()},
      {"lblUninstallKey", &keys.uninstallKey},
      {"lblARPCacheKey", &keys.arpCacheKey},
      {"lblUninstallCommand", &entry.UninstallString},
      {"lblQuietUninstallCommand", &entry.QuietUninstallString},
  };
  for (const auto& [name, text] : texts) labels_[name]->setText(FromUtf8(*text));
  // Without a usage record the line stays empty; hovering it says where the size came from.
  if (const std::string note = SizeSourceNote(entry, lang_); !note.empty())
    labels_["lblARPCacheKey"]->setToolTip(FromUtf8(note));
  // The name may be cut short by the Details link: the whole of it shows on hovering.
  labels_["lblDisplayName"]->setToolTip(FromUtf8(name));
}

void TInfoPanel::SetIcon(const QIcon& icon) {
  icon_ = icon;
  imgIconDetails_->setPixmap(icon.isNull() ? QPixmap() : icon.pixmap(32, 32));
}

void TInfoPanel::SetDetailsEnabled(bool enabled) {
  lblDetails_->setEnabled(enabled);
}

void TInfoPanel::UseServices(WindowServices& services) {
  const auto desktop = [&services](const std::function<void(Desktop&)>& open) {
    if (services.desktop) open(*services.desktop);
  };
  connect(this, &TInfoPanel::openAddress, this, [desktop](const QString& url) {
    desktop([&](Desktop& d) { d.OpenAddress(url.toStdString()); });
  });
  connect(this, &TInfoPanel::openFile, this, [desktop](const QString& path) {
    desktop([&](Desktop& d) { d.OpenFile(path.toStdString()); });
  });
  connect(this, &TInfoPanel::jumpToKey, this, [desktop](const QString& key) {
    desktop([&](Desktop& d) { d.JumpToRegistryKey(key.toStdString()); });
  });
  connect(this, &TInfoPanel::copyText, this,
          [&services](const QString& text) { services.setClipboard(text); });
}

}  // namespace pgl
