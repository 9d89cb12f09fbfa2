#pragma once

#include <QProxyStyle>

// Makes a combo box open a plain drop-down list, which honours the visible-item count
// and the height limits the combo sets, instead of a menu-like popup over the current
// item. Built without a base style, it proxies the application style without owning it.
class ComboListStyle : public QProxyStyle
{
    Q_OBJECT

public:
    ComboListStyle();
    ~ComboListStyle() override;

    int styleHint(StyleHint hint, const QStyleOption *option = nullptr,
                  const QWidget *widget = nullptr,
                  QStyleHintReturn *returnData = nullptr) const override;
};
