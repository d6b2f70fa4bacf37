#pragma once
// A button that shows a colour and drops down a menu to change it: the predefined colours, the
// desktop's own colours, and "Select color" for any other one. The menu always fits the screen.
#include <QColor>
#include <QMenu>
#include <QRect>
#include <QToolButton>
#include <cstdint>
#include <functional>

class TColorPickerButton : public QToolButton {
  Q_OBJECT
 public:
  explicit TColorPickerButton(QWidget* parent = nullptr);

  // 0x00BBGGRR, as the settings store it (a stored system colour is kept as it is).
  uint32_t Color() const { return FColor; }
  void SetColor(uint32_t color);

  QMenu* Menu() const { return FMenu; }
  // The custom-colour choice; a test or a caller may replace it (invalid colour: cancelled).
  std::function<QColor(QWidget* parent, const QColor& initial)> AskColor;

  static QColor ToQColor(uint32_t color);
  static uint32_t FromQColor(const QColor& color);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 signals:
  void ColorChanged(uint32_t color);

 private:
  void BuildMenu();
  void BuildMenu(bool systemSubmenu);
  QRect AvailableArea() const;  // of the screen the button is on
  void Choose(uint32_t color);
  void SelectCustomColor();
  void UpdateSwatch();

  QMenu* FMenu;
  uint32_t FColor = 0x00FFFFFF;
};
