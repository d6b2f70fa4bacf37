#include "ColorPickerButtonU.h"

#include <QApplication>
#include <QColorDialog>
#include <QEvent>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QScreen>
#include <algorithm>

#include "ColorNamesU.h"

namespace {

QIcon Swatch(const QColor& color, QSize size = QSize(16, 16)) {
  QPixmap pixmap(size);
  pixmap.fill(color);
  QPainter painter(&pixmap);
  painter.setPen(Qt::black);
  painter.drawRect(0, 0, size.width() - 1, size.height() - 1);
  return QIcon(pixmap);
}

// "clMoneyGreen" -> "MoneyGreen".
QString DisplayName(const char* name) {
  QString text = QString::fromLatin1(name);
  return text.startsWith(QLatin1String("cl")) ? text.mid(2) : text;
}

struct TRoleName {
  QPalette::ColorRole Role;
  const char* Name;
};

constexpr TRoleName SystemRoles[] = {
    {QPalette::Window, "Window"},
    {QPalette::WindowText, "Window text"},
    {QPalette::Base, "Base"},
    {QPalette::AlternateBase, "Alternate base"},
    {QPalette::Text, "Text"},
    {QPalette::Button, "Button face"},
    {QPalette::ButtonText, "Button text"},
    {QPalette::Highlight, "Highlight"},
    {QPalette::HighlightedText, "Highlighted text"},
    {QPalette::ToolTipBase, "Tool tip"},
    {QPalette::ToolTipText, "Tool tip text"},
    {QPalette::Light, "Light"},
    {QPalette::Midlight, "Midlight"},
    {QPalette::Mid, "Mid"},
    {QPalette::Dark, "Dark"},
    {QPalette::Shadow, "Shadow"},
    {QPalette::Link, "Link"},
};

}  // namespace

QColor TColorPickerButton::ToQColor(uint32_t color) {
  const uint32_t rgb = uint32_t(ColorToRGB(TColor(color)));
  return QColor(int(rgb & 0xFF), int((rgb >> 8) & 0xFF), int((rgb >> 16) & 0xFF));
}

uint32_t TColorPickerButton::FromQColor(const QColor& color) {
  return uint32_t(color.red()) | (uint32_t(color.green()) << 8) | (uint32_t(color.blue()) << 16);
}

TColorPickerButton::TColorPickerButton(QWidget* parent) : QToolButton(parent) {
  FMenu = new QMenu(this);
  setMenu(FMenu);
  setPopupMode(QToolButton::InstantPopup);
  setToolButtonStyle(Qt::ToolButtonIconOnly);
  setIconSize(QSize(48, 14));
  AskColor = [](QWidget* owner, const QColor& initial) {
    return QColorDialog::getColor(initial, owner, QStringLiteral("Select color"));
  };
  connect(FMenu, &QMenu::aboutToShow, this, [this] { BuildMenu(); });
  FMenu->installEventFilter(this);
  BuildMenu();
  UpdateSwatch();
}

// The desktop's colours go into a submenu where the whole list would be taller than the screen.
void TColorPickerButton::BuildMenu() {
  BuildMenu(false);
  // Taller than the screen, the menu would run past it or be laid out in several columns.
  const QList<QAction*> actions = FMenu->actions();
  const bool wrapped = !actions.isEmpty() && FMenu->actionGeometry(actions.front()).left() !=
                                                 FMenu->actionGeometry(actions.back()).left();
  if (wrapped || FMenu->sizeHint().height() > AvailableArea().height()) BuildMenu(true);
}

QRect TColorPickerButton::AvailableArea() const {
  const QScreen* shown = screen();
  return shown ? shown->availableGeometry() : QRect(0, 0, 640, 480);
}

// Wherever the button stands, the menu lies on the screen (above the button it could reach past
// the top).
bool TColorPickerButton::eventFilter(QObject* watched, QEvent* event) {
  if (watched == FMenu && event->type() == QEvent::Show) {
    const QRect area = AvailableArea();
    QRect menu = FMenu->geometry();
    menu.moveTop(std::clamp(menu.top(), area.top(),
                            std::max(area.top(), area.bottom() + 1 - menu.height())));
    menu.moveLeft(std::clamp(menu.left(), area.left(),
                             std::max(area.left(), area.right() + 1 - menu.width())));
    if (menu.topLeft() != FMenu->pos()) FMenu->move(menu.topLeft());
  }
  return QToolButton::eventFilter(watched, event);
}

void TColorPickerButton::BuildMenu(bool systemSubmenu) {
  // Built at each showing so that the desktop's colours are the current ones.
  FMenu->clear();
  FMenu->addSection(QStringLiteral("Predefined colors"));
  for (const TColorName& entry : PredefinedColors()) {
    const uint32_t value = uint32_t(entry.Color);
    QAction* action = FMenu->addAction(Swatch(ToQColor(value)), DisplayName(entry.Name));
    action->setCheckable(true);
    action->setChecked(value == FColor);
    connect(action, &QAction::triggered, this, [this, value] { Choose(value); });
  }
  QMenu* system = FMenu;
  if (systemSubmenu)
    system = FMenu->addMenu(QStringLiteral("System colors"));
  else
    FMenu->addSection(QStringLiteral("System colors"));
  const QPalette palette = QApplication::palette();
  for (const TRoleName& role : SystemRoles) {
    const QColor color = palette.color(QPalette::Active, role.Role);
    const uint32_t value = FromQColor(color);
    QAction* action = system->addAction(Swatch(color), QString::fromLatin1(role.Name));
    connect(action, &QAction::triggered, this, [this, value] { Choose(value); });
  }
  FMenu->addSeparator();
  QAction* custom = FMenu->addAction(QStringLiteral("Select color"));
  connect(custom, &QAction::triggered, this, [this] { SelectCustomColor(); });
}

void TColorPickerButton::SelectCustomColor() {
  if (!AskColor) return;
  const QColor chosen = AskColor(this, ToQColor(FColor));
  if (chosen.isValid()) Choose(FromQColor(chosen));
}

void TColorPickerButton::Choose(uint32_t color) {
  const bool changed = color != FColor;
  SetColor(color);
  if (changed) emit ColorChanged(color);
}

void TColorPickerButton::SetColor(uint32_t color) {
  FColor = color;
  UpdateSwatch();
}

void TColorPickerButton::UpdateSwatch() {
  setIcon(Swatch(ToQColor(FColor), iconSize()));
}
