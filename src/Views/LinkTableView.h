#pragma once

#include <QWidget>

// The widget that holds the rows of the link list (the design's "tableView"). Screen readers
// meet it as a list and each BrandedLinkView in it as a list item that can be selected.
class LinkTableView : public QWidget
{
    Q_OBJECT

public:
    explicit LinkTableView(QWidget *parent = nullptr);
};
