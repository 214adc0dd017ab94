#pragma once
#include <array>
#include <string>
#include <vector>

#include <QRect>
#include <QWidget>

#include "help/help_topics.h"

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace help {

// TForm8, the help window "Nápověda": a tool bar that repeats the journal
// window's buttons, each of which only shows the help topic of its command,
// and the text box with the topic last shown. It is created hidden with the
// other windows, stays above the journal window, and its close box only
// hides it, so that it shows the same topic when it is opened again.
class HelpWindow : public QWidget {
  Q_OBJECT
 public:
  explicit HelpWindow(QWidget* journalWindow);

  // Fills the topics and shows topic 0. The journal window's show handler
  // calls it once at start-up, so that the first opening shows the general
  // description; before that the text box holds only "Memo1".
  void LoadHelpTopics();

  // One button of ToolBar1: its picture in the journal window's image list,
  // its hint (empty for none) and the topic it shows.
  struct ToolButtonDesign {
    const char* name;
    int image;
    const char* hint;
    int topic;
  };
  // ToolBar1's buttons from the left.
  static const std::array<ToolButtonDesign, kToolButtonTopicCount>& toolButtonDesigns();

  QPlainTextEdit* memo() const { return Memo1; }
  // The buttons of ToolBar1 from the left, in the order of toolButtonDesigns().
  const std::vector<QToolButton*>& toolButtons() const { return toolButtons_; }
  QPushButton* aboutButton() const { return BitBtn1; }
  // The whole text box set to a topic, as a help button does; the topics
  // beyond the tool bar's are shown so by the windows they describe.
  void showTopic(int topic);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void createTitleArea();
  void createToolBar();
  void showText(const std::string& cp1250);
  void BitBtn1Click();

  std::array<std::string, kHelpTopicCount> HelpTopics;
  bool topicsLoaded_ = false;

  QLabel* Image1 = nullptr;
  QFrame* Bevel1 = nullptr;
  QLabel* StaticText1 = nullptr;
  QFrame* ToolBar1 = nullptr;
  std::vector<QToolButton*> toolButtons_;
  QPlainTextEdit* Memo1 = nullptr;
  QPushButton* BitBtn1 = nullptr;
  // The text box's place at the fitted client size, from which it grows.
  QRect memoPlace_;
  QSize fittedClient_;
};

}  // namespace help
