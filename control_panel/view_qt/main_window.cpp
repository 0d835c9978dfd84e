#include "control_panel/view_qt/main_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QTimer>

#include "control_panel/language/language_menu.h"
#include "control_panel/view_qt/client_entry_widget.h"
#include "control_panel/view_qt/pictures.h"
#include "control_panel/view_qt/skinned_painting.h"
#include "control_panel/view_qt/text_conversion.h"
#include "control_panel/view_qt/window_layout.h"

namespace zl::view {

using panel::Control;
using panel::ControlKind;

namespace {

// Pages are laid out for this inner width of the page control.
constexpr int kMargin = 8;
constexpr int kContentWidth = 302;

// The language menu shows its flags at their own 25 by 13.
class FlagMenuStyle : public QProxyStyle {
 public:
  int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
    if (metric == PM_SmallIconSize) return kFlagWidth;
    return QProxyStyle::pixelMetric(metric, option, widget);
  }
};

}  // namespace

MainWindow::MainWindow(panel::TfrmMain& form, TLanguageTexts& language) : form_(form), language_(language) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(kClientWidth, kClientHeight);
  setWindowIcon(ProgramIcon());
  QFont base(QStringLiteral("DejaVu Sans"));
  base.setPixelSize(10);
  setFont(base);

  BuildHeader();
  pages_ = new QTabWidget(this);
  pages_->setObjectName(QStringLiteral("pcMain"));
  pages_->setGeometry(0, kHeaderHeight, kClientWidth, kClientHeight - kHeaderHeight);
  QWidget* setting = new QWidget;
  QWidget* clients = new QWidget;
  QWidget* management = new QWidget;
  pages_->addTab(setting, QString());
  pages_->addTab(clients, QString());
  pages_->addTab(management, QString());
  BuildSettingPage(setting);
  BuildClientsPage(clients);
  BuildManagementPage(management);
  BuildTray();

  Bind(form_.frmMain, this, [this] { setWindowTitle(CaptionText(form_.frmMain.Caption())); });
  Bind(form_.pcMain, pages_, [this] {
    mirroringPage_ = true;
    pages_->setCurrentIndex(form_.pcMain.PageIndex());
    mirroringPage_ = false;
  });
  QObject::connect(pages_, &QTabWidget::currentChanged, this, [this](int index) {
    if (!mirroringPage_) form_.UserSelectPage(index);
  });
  const std::pair<Control*, int> tabs[] = {{&form_.tabSetting, 0}, {&form_.tabClients, 1}, {&form_.tabMangement, 2}};
  for (auto [control, index] : tabs) {
    Bind(*control, pages_->widget(index), [this, control, index] { pages_->setTabText(index, CaptionText(control->Caption())); });
  }
  WireModel();
}

MainWindow::~MainWindow() {
  form_.OnControlChanged = nullptr;
  form_.OnClientsChanged = nullptr;
  form_.OnFillLanguageMenu = nullptr;
  form_.OnShowLanguageMenu = nullptr;
  form_.OnApplyLanguageFlag = nullptr;
  form_.OnRestoreRequested = nullptr;
  form_.OnCloseRequested = nullptr;
}

void MainWindow::WireModel() {
  form_.OnControlChanged = [this](const Control& control) { Mirror(control); };
  form_.OnClientsChanged = [this] { RebuildClientEntries(); };
  form_.OnFillLanguageMenu = [this] { FillLanguageMenu(); };
  form_.OnShowLanguageMenu = [this] { ShowLanguageMenu(); };
  form_.OnApplyLanguageFlag = [this] { ApplyLanguageFlag(); };
  form_.OnRestoreRequested = [this] { Restore(); };
  form_.OnCloseRequested = [this] { close(); };
}

// --- binding --------------------------------------------------------------

void MainWindow::Bind(Control& control, QWidget* widget, std::function<void()> mirror) {
  widgets_[control.Name()] = widget;
  if (widget != this && widget->objectName().isEmpty()) widget->setObjectName(QString::fromStdString(control.Name()));
  mirrors_[&control] = std::move(mirror);
  mirrors_[&control]();
}

void MainWindow::Mirror(const Control& control) {
  const auto it = mirrors_.find(&control);
  if (it != mirrors_.end()) it->second();
}

void MainWindow::MirrorCommon(const Control& control, QWidget* widget) {
  widget->setEnabled(control.Enabled());
  widget->setVisible(control.Visible());
}

QWidget* MainWindow::ControlWidget(const std::string& name) const {
  const auto it = widgets_.find(name);
  return it == widgets_.end() ? nullptr : it->second;
}

// --- building ---------------------------------------------------------------

void MainWindow::BuildHeader() {
  header_.Background.SetBgLeft(BitmapPicture(QStringLiteral("header_left.png")));
  header_.Background.SetBgMiddle(BitmapPicture(QStringLiteral("header_middle.png")));
  header_.Background.SetBgRight(BitmapPicture(QStringLiteral("header_right.png")));
  auto* band = new PanelWidget(header_, this);
  band->setObjectName(QStringLiteral("rkPanel1"));
  band->setGeometry(0, 0, kClientWidth, kHeaderHeight);

  auto* name = new QLabel(QStringLiteral("Zephlink"), band);
  name->setObjectName(QStringLiteral("lbProductName"));
  QFont large(font());
  large.setPixelSize(30);
  large.setBold(true);
  name->setFont(large);
  name->setStyleSheet(QStringLiteral("color: white;"));
  name->setGeometry(14, (kHeaderHeight - 44) / 2, 160, 44);

  const QString decorations[] = {QStringLiteral("deco_wireless.png"), QStringLiteral("deco_globe.png"),
                                 QStringLiteral("deco_shield.png"), QStringLiteral("deco_device.png")};
  for (int i = 0; i < 4; ++i) {
    auto* image = new QLabel(band);
    image->setObjectName(QStringLiteral("imgHeader%1").arg(i + 1));
    image->setPixmap(Picture(decorations[i]));
    // In a row at the right end of the band.
    image->setGeometry(kClientWidth - 14 - 30 - (3 - i) * 36, (kHeaderHeight - 30) / 2, 30, 30);
  }
}

void MainWindow::BuildSettingPage(QWidget* page) {
  const auto label = [&](Control& control, int y, int height) {
    auto* widget = new QLabel(page);
    widget->setGeometry(kMargin, y, kContentWidth, height);
    Bind(control, widget, [&control, widget] {
      widget->setText(CaptionText(control.Caption()));
      MirrorCommon(control, widget);
    });
  };
  const auto radio = [&](Control& control, int y) {
    auto* widget = new QRadioButton(page);
    widget->setAutoExclusive(false);  // the model keeps the group
    // The longest caption of the page: up to the page's right edge.
    widget->setGeometry(kMargin, y, kContentWidth + kMargin - 2, 20);
    Bind(control, widget, [&control, widget] {
      widget->setText(CaptionText(control.Caption()));
      widget->setChecked(control.Checked());
      MirrorCommon(control, widget);
    });
    QObject::connect(widget, &QRadioButton::clicked, this, [this, &control] {
      form_.UserClick(control);
      Mirror(control);
    });
  };
  const auto edit = [&](Control& control, int y, Control& ok, Control& no) {
    auto* widget = new QLineEdit(page);
    widget->setGeometry(kMargin, y, kContentWidth, 24);
    widget->setTextMargins(0, 0, kMarkerSize + 4, 0);
    Bind(control, widget, [&control, widget] {
      const QString text = FromCp1252(control.Text());
      if (widget->text() != text) widget->setText(text);
      MirrorCommon(control, widget);
    });
    QObject::connect(widget, &QLineEdit::textEdited, this, [this, &control](const QString& text) {
      form_.UserEditText(control, ToCp1252(text));
      Mirror(control);
    });
    for (Control* marker : {&ok, &no}) {
      auto* image = new QLabel(page);
      image->setPixmap(Picture(marker == &ok ? QStringLiteral("marker_ok.png") : QStringLiteral("marker_no.png")));
      image->setGeometry(kMargin + kContentWidth - kMarkerSize - 4, y + (24 - kMarkerSize) / 2, kMarkerSize,
                         kMarkerSize);
      Bind(*marker, image, [marker, image] { MirrorCommon(*marker, image); });
    }
  };

  radio(form_.rbAutomaticConfigVWiFi, 8);
  label(form_.Label4, 32, 16);
  edit(form_.edHotspotName, 50, form_.imgHotspotNameOK, form_.imgHotspotNameNo);
  label(form_.Label6, 80, 16);
  edit(form_.edNetworkKey, 98, form_.imgHotspotKeyOk, form_.imgHotspotKeyNo);

  auto* ics = new QCheckBox(page);
  ics->setGeometry(kMargin, 130, kContentWidth, 20);
  Bind(form_.cbEnableICS, ics, [this, ics] {
    ics->setText(CaptionText(form_.cbEnableICS.Caption()));
    ics->setChecked(form_.cbEnableICS.Checked());
    MirrorCommon(form_.cbEnableICS, ics);
  });
  QObject::connect(ics, &QCheckBox::clicked, this, [this] {
    form_.UserClick(form_.cbEnableICS);
    Mirror(form_.cbEnableICS);
  });

  auto* internet = new QComboBox(page);
  internet->setGeometry(kMargin + 18, 152, kContentWidth - 18, 24);
  Bind(form_.cbInternet, internet, [this, internet] {
    const Control& control = form_.cbInternet;
    QStringList items;
    for (const std::string& item : control.Items()) items << FromCp1252(item);
    QStringList shown;
    for (int i = 0; i < internet->count(); ++i) shown << internet->itemText(i);
    if (shown != items) {
      internet->clear();
      internet->addItems(items);
    }
    internet->setCurrentIndex(control.ItemIndex());
    MirrorCommon(control, internet);
  });
  QObject::connect(internet, &QComboBox::activated, this, [this](int index) {
    form_.UserSelectItem(form_.cbInternet, index);
    Mirror(form_.cbInternet);
  });

  radio(form_.rbManualConfigVWiFi, 184);

  auto* ok = new QPushButton(page);
  ok->setGeometry(kMargin, 212, kContentWidth, 30);
  Bind(form_.btnOK, ok, [this, ok] {
    ok->setText(CaptionText(form_.btnOK.Caption()));
    MirrorCommon(form_.btnOK, ok);
  });
  QObject::connect(ok, &QPushButton::clicked, this, [this] { form_.UserClick(form_.btnOK); });

  auto* rule = new QFrame(page);
  rule->setFrameShape(QFrame::HLine);
  rule->setFrameShadow(QFrame::Sunken);
  rule->setGeometry(kMargin, 256, kContentWidth, 2);
  Bind(form_.Shape1, rule, [this, rule] { MirrorCommon(form_.Shape1, rule); });

  auto* link = new QLabel(page);
  link->setGeometry(kMargin, 270, 220, 18);
  link->setTextFormat(Qt::RichText);
  Bind(form_.RzURLLabel1, link, [this, link] {
    link->setText(QStringLiteral("<a href=\"#\" style=\"color:#1f6fb5;\">%1</a>")
                      .arg(CaptionText(form_.RzURLLabel1.Caption()).toHtmlEscaped()));
    MirrorCommon(form_.RzURLLabel1, link);
  });
  QObject::connect(link, &QLabel::linkActivated, this, [this] { form_.UserClick(form_.RzURLLabel1); });

  for (Control* status : {&form_.imgHotspotOnline, &form_.imgHotspotOffline}) {
    auto* image = new QLabel(page);
    image->setPixmap(Picture(status == &form_.imgHotspotOnline ? QStringLiteral("hotspot_online.png")
                                                                : QStringLiteral("hotspot_offline.png")));
    image->setGeometry(kMargin + kContentWidth - kStatusIconSize, 264, kStatusIconSize, kStatusIconSize);
    Bind(*status, image, [status, image] { MirrorCommon(*status, image); });
  }
}

void MainWindow::BuildClientsPage(QWidget* page) {
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* area = new QScrollArea(page);
  area->setWidgetResizable(true);
  area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  area->setFrameShape(QFrame::NoFrame);
  layout->addWidget(area);
  clientsList_ = new QWidget;
  clientsList_->setObjectName(QStringLiteral("sbClientsContents"));
  clientsLayout_ = new QVBoxLayout(clientsList_);
  clientsLayout_->setContentsMargins(0, 0, 0, 0);
  clientsLayout_->setSpacing(0);
  clientsLayout_->addStretch(1);
  area->setWidget(clientsList_);
  Bind(form_.sbClients, area, [this, area] { MirrorCommon(form_.sbClients, area); });
}

void MainWindow::BuildManagementPage(QWidget* page) {
  const auto group = [&](Control& control, int y, int height) {
    auto* box = new QGroupBox(page);
    box->setGeometry(kMargin, y, kContentWidth, height);
    Bind(control, box, [&control, box] {
      box->setTitle(CaptionText(control.Caption()));
      MirrorCommon(control, box);
    });
    return box;
  };
  const auto label = [&](Control& control, QWidget* parent, QRect where) {
    auto* widget = new QLabel(parent);
    widget->setGeometry(where);
    widget->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Bind(control, widget, [&control, widget] {
      widget->setText(CaptionText(control.Caption()));
      MirrorCommon(control, widget);
    });
  };
  const auto check = [&](Control& control, QWidget* parent, QRect where) {
    auto* box = new QCheckBox(parent);
    box->setGeometry(where);
    Bind(control, box, [&control, box] {
      box->setText(CaptionText(control.Caption()));
      box->setChecked(control.Checked());
      MirrorCommon(control, box);
    });
    QObject::connect(box, &QCheckBox::clicked, this, [this, &control] {
      form_.UserClick(control);
      Mirror(control);
    });
  };

  QGroupBox* language = group(form_.suiGroupBox4, 4, 58);
  label(form_.Label3, language, QRect(10, 22, 130, 25));
  languageButton_.Icon.SetWidth(kFlagWidth);
  languageButton_.Icon.SetHeight(kFlagHeight);
  languageButton_.DisabledIcon.SetWidth(kFlagWidth);
  languageButton_.DisabledIcon.SetHeight(kFlagHeight);
  languageButton_.SetDisabledFont(TFont{"", 8, false, 0x808080});
  const std::pair<TrkBackground*, const char*> faces[] = {{&languageButton_.Backgrounds.Up, "up"},
                                                          {&languageButton_.Backgrounds.Down, "down"},
                                                          {&languageButton_.Backgrounds.Hot, "hot"},
                                                          {&languageButton_.Backgrounds.Disabled, "disabled"}};
  for (auto [background, state] : faces) {
    background->SetBgLeft(BitmapPicture(QStringLiteral("button_%1_left.png").arg(state)));
    background->SetBgMiddle(BitmapPicture(QStringLiteral("button_%1_middle.png").arg(state)));
    background->SetBgRight(BitmapPicture(QStringLiteral("button_%1_right.png").arg(state)));
  }
  auto* button = new BgButtonWidget(languageButton_, language);
  button->setGeometry(146, 22, 136, 25);
  languageButtonWidget_ = button;
  languageButton_.OnClick = [this] { form_.UserClick(form_.btnLanguage); };
  Bind(form_.btnLanguage, button, [this, button] {
    languageButton_.SetCaption(form_.btnLanguage.Caption());
    MirrorCommon(form_.btnLanguage, button);
  });

  QGroupBox* sharing = group(form_.suiGroupBox1, 66, 80);
  check(form_.cbDisableP2P, sharing, QRect(10, 30, 18, 18));
  label(form_.Label9, sharing, QRect(32, 20, 258, 54));

  QGroupBox* urlLog = group(form_.suiGroupBox2, 150, 80);
  check(form_.cbEnableUrlLog, urlLog, QRect(10, 20, 276, 20));
  auto* viewLogs = new QPushButton(urlLog);
  viewLogs->setGeometry(10, 46, 200, 25);
  Bind(form_.suiButton3, viewLogs, [this, viewLogs] {
    viewLogs->setText(CaptionText(form_.suiButton3.Caption()));
    MirrorCommon(form_.suiButton3, viewLogs);
  });
  QObject::connect(viewLogs, &QPushButton::clicked, this, [this] { form_.UserClick(form_.suiButton3); });

  QGroupBox* autostart = group(form_.suiGroupBox3, 234, 64);
  check(form_.cbEnableAutoStart, autostart, QRect(10, 28, 18, 18));
  label(form_.Label2, autostart, QRect(32, 20, 258, 36));
}

void MainWindow::BuildTray() {
  trayMenu_ = new QMenu(this);
  trayMenu_->setObjectName(QStringLiteral("PopupMenu1"));
  trayMenu_->setFont(font());
  for (Control* item : {&form_.miRestoreBrennick, &form_.miCloseBrennick}) {
    QAction* action = trayMenu_->addAction(QString());
    action->setObjectName(QString::fromStdString(item->Name()));
    mirrors_[item] = [item, action] { action->setText(CaptionText(item->Caption())); };
    mirrors_[item]();
    QObject::connect(action, &QAction::triggered, this, [this, item] { form_.UserClick(*item); });
  }
  // Without a notification area there is no icon; the window then never
  // hides itself when minimised, or it could not be found again.
  if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
  tray_ = new QSystemTrayIcon(ProgramIcon(), this);
  tray_->setContextMenu(trayMenu_);
  QObject::connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::DoubleClick) form_.miRestoreBrennickClick();
    if (reason == QSystemTrayIcon::Context) {
      raise();
      activateWindow();
    }
  });
  tray_->show();
}

// --- the model's hooks ------------------------------------------------------

void MainWindow::RebuildClientEntries() {
  for (QWidget* entry : clientEntries_) {
    clientsLayout_->removeWidget(entry);
    entry->deleteLater();
  }
  clientEntries_.clear();
  int index = 0;
  for (const panel::TfmClient* client : form_.ClientEntries()) {
    auto* entry = new ClientEntryWidget(*client, clientsList_);
    clientsLayout_->insertWidget(index++, entry);
    clientEntries_.push_back(entry);
  }
}

std::vector<QWidget*> MainWindow::ClientEntryWidgets() const { return clientEntries_; }

void MainWindow::FillLanguageMenu() {
  language_.FillLanguageMenu(images_, languageItems_,
                             [this](const TMenuItem& item) { language_.SelectLanguage(item.Caption); });
  languageMenu_ = new QMenu(this);
  languageMenu_->setObjectName(QStringLiteral("PopupMenu"));
  languageMenu_->setFont(font());
  auto* style = new FlagMenuStyle;
  style->setParent(languageMenu_);  // a widget does not own the style it is given
  languageMenu_->setStyle(style);
  for (std::size_t i = 0; i < languageItems_.Items.size(); ++i) {
    const TMenuItem& item = languageItems_.Items[i];
    // No accelerator letters: an "&" in a name is shown as it is.
    QAction* action = languageMenu_->addAction(CaptionText(item.Caption).replace('&', QStringLiteral("&&")));
    const int image = item.ImageIndex;
    if (image >= 0 && image < static_cast<int>(images_.Images.size())) {
      action->setIcon(QIcon(DecodeIcon(images_.Images[image], images_.Width, images_.Height)));
    }
    QObject::connect(action, &QAction::triggered, this, [this, i] {
      const TMenuItem& chosen = languageItems_.Items[i];
      if (chosen.OnClick) chosen.OnClick(chosen);
    });
  }
}

void MainWindow::ShowLanguageMenu() {
  if (!languageMenu_ || !languageButtonWidget_) return;
  languageMenu_->popup(languageButtonWidget_->mapToGlobal(QPoint(0, languageButtonWidget_->height())));
}

void MainWindow::ApplyLanguageFlag() {
  const int index = FindMenuItem(languageItems_, language_.CurrentLanguage);
  if (index < 0 || index >= static_cast<int>(images_.Images.size())) return;
  languageButton_.Icon.SetIcon(images_.Images[index]);
  languageButton_.DisabledIcon.SetIcon(images_.Images[index]);
}

void MainWindow::Restore() {
  showNormal();
  raise();
  activateWindow();
}

// --- window events ----------------------------------------------------------

void MainWindow::ShowFirstTime() {
  if (QScreen* screen = this->screen()) {
    const QRect desktop = screen->availableGeometry();
    move(desktop.center() - QPoint(kClientWidth / 2, kClientHeight / 2));
  }
  show();
  form_.FormShow();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!closed_) {
    closed_ = true;
    form_.FormClose();
  }
  event->accept();
}

void MainWindow::changeEvent(QEvent* event) {
  // Minimised, the window leaves the taskbar; the notification-area icon
  // brings it back.
  if (event->type() == QEvent::WindowStateChange && isMinimized() && tray_) {
    QTimer::singleShot(0, this, [this] { hide(); });
  }
  QWidget::changeEvent(event);
}

}  // namespace zl::view
