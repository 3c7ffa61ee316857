#pragma once

#include <QDialog>

// The about box: program title and version.
class frmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit frmAbout(QWidget *parent = nullptr);
};
