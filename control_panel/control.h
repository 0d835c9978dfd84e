// One control of the main window as the window's logic sees it: its caption,
// enabled, visible and checked states, its text, its list items with the
// selected index, and the page shown (page control). The view only mirrors
// these and forwards the user's actions; every change of a property is
// announced through the window's change notification.
//
// Setting a state raises the control's own event as the toolkit would:
// a check box's OnClick when its check state changes, a radio button's when
// it becomes checked (its group's other buttons are unchecked first), an
// edit's OnChange when its text changes. Selecting an item from code raises
// nothing; the user's selection is forwarded by the window.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace zl::panel {

enum class ControlKind {
  Form,
  PageControl,
  Page,
  Label,
  LinkLabel,
  Edit,
  CheckBox,
  RadioButton,
  Button,
  SkinnedButton,
  DropDownList,
  Image,
  Group,
  ScrollBox,
  Shape,
  MenuItem,
};

class Control;
using ControlChangeObserver = std::function<void(const Control&)>;

class Control {
 public:
  Control(std::string name, ControlKind kind, std::string caption = {});
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const std::string& Name() const { return name_; }
  ControlKind Kind() const { return kind_; }

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  bool Checked() const { return checked_; }
  void SetChecked(bool checked);
  const std::string& Text() const { return text_; }
  void SetText(const std::string& text);

  // Items of a drop-down list; ItemIndex -1 is no selection.
  const std::vector<std::string>& Items() const { return items_; }
  void ClearItems();
  void AddItem(const std::string& item);
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int index);  // outside the items: no selection

  // The page shown by a page control, 0 for the first.
  int PageIndex() const { return pageIndex_; }
  void SetPageIndex(int index);

  // Radio buttons of one group uncheck each other.
  void JoinRadioGroup(Control& sibling);

  std::function<void()> OnClick;
  std::function<void()> OnChange;

  // Set by the owning window; called after every change of a property.
  // Its errors are the view's: they are dropped here.
  void SetObserver(const ControlChangeObserver* observer) { observer_ = observer; }

 private:
  void Changed();
  static void Raise(const std::function<void()>& event);

  std::string name_;
  ControlKind kind_;
  std::string caption_;
  bool enabled_ = true;
  bool visible_ = true;
  bool checked_ = false;
  std::string text_;
  std::vector<std::string> items_;
  int itemIndex_ = -1;
  int pageIndex_ = 0;
  std::vector<Control*> radioGroup_;
  const ControlChangeObserver* observer_ = nullptr;
};

}  // namespace zl::panel
