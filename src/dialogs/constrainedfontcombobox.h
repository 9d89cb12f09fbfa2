#pragma once

#include <QFontComboBox>

// A font family list whose drop-down list fits the window it opens in: short windows
// get fewer rows, so the list never runs off a small dialog or screen.
class ConstrainedFontComboBox : public QFontComboBox
{
    Q_OBJECT

public:
    explicit ConstrainedFontComboBox(QWidget *parent = nullptr);
    ~ConstrainedFontComboBox() override;

    // The list's height limit and visible rows for a window of that height; a height
    // below zero stands for no window.
    struct PopupLimits
    {
        int maxHeight;
        int visibleItems;
    };
    static PopupLimits popupLimitsFor(int windowHeight);

    void showPopup() override;
};
