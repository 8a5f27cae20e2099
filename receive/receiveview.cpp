#include "receive/receiveview.h"

#include <QPainter>

// Placeholder implementation: replaced by the chunked view.
ReceiveView::ReceiveView(QWidget* parent)
    : QAbstractScrollArea(parent)
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

ReceiveView::~ReceiveView() = default;

void ReceiveView::appendText(QStringView text)
{
    m_text += text;
    viewport()->update();
}

void ReceiveView::appendAscii(QByteArrayView ascii)
{
    m_text += QString::fromLatin1(ascii);
    viewport()->update();
}

QString ReceiveView::text() const { return m_text; }

void ReceiveView::setText(const QString& text)
{
    m_text = text;
    viewport()->update();
}

void ReceiveView::clear() { setText(QString()); }

qint64 ReceiveView::length() const { return m_text.size(); }

qint64 ReceiveView::cursorPosition() const { return m_text.size(); }

void ReceiveView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    painter.drawText(viewport()->rect(), Qt::TextWrapAnywhere, m_text.right(2000));
}
