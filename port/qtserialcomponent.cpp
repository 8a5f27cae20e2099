#include "port/qtserialcomponent.h"

// Placeholder until the QSerialPort implementation lands.
QtSerialComponent::QtSerialComponent(QObject* parent)
    : SerialComponent(parent)
{
}

QtSerialComponent::~QtSerialComponent() = default;

void QtSerialComponent::setPortOpen(bool open)
{
    if (open)
        throw SerialError("not implemented");
}

QString QtSerialComponent::inputText(qint64* byteCount)
{
    if (byteCount)
        *byteCount = 0;
    return {};
}
