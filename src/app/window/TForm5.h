#pragma once

#include <QElapsedTimer>
#include <QWidget>

class QLabel;

// The loading window shown without modality during start-up: it counts the editor rows built.
class TForm5 : public QWidget
{
    Q_OBJECT
public:
    explicit TForm5(QWidget *parent = nullptr);

    // Shows n in Label3. The start-up runs without returning to the event loop, so the window is
    // repainted here; the count changes at most every 50 ms, since setting and painting it for
    // every one of thousands of rows would cost more than building them.
    void setCount(int n);
    void repaintNow();

    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;

private:
    QElapsedTimer sinceRepaint_;
};
