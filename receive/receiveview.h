#pragma once

#include <QAbstractScrollArea>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// The receive display: a plain, editable, multi-line text box with a vertical scroll bar, built
// for data that keeps arriving. Appending costs time in proportion to what is appended and
// painting in proportion to what is visible, however long the text and its longest line.
class ReceiveView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit ReceiveView(QWidget* parent = nullptr);
    ~ReceiveView() override;

    // Appends at the end, puts the caret at the end and scrolls the newest data into view.
    void appendText(QStringView text);
    // The same for text known to be ASCII (hex pairs), kept at one byte a character.
    void appendAscii(QByteArrayView ascii);

    QString text() const;
    void setText(const QString& text);
    void clear();
    qint64 length() const; // in UTF-16 code units, as text().size()
    qint64 cursorPosition() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
};
