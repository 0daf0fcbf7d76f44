#pragma once

#include <QMainWindow>

// The main window of Scribant, the question editor.
class TScribantF : public QMainWindow
{
    Q_OBJECT
public:
    explicit TScribantF(QWidget* parent = nullptr);

    // A later start of the editor handed over a file path: the path is shown, then the file is
    // offered for loading through fileHandedOver.
    void receiveHandedOverPath(const QString& path);

Q_SIGNALS:
    void fileHandedOver(const QString& path);
};
