#pragma once

#include "port/serialcomponent.h"

// The serial component on a real port (QSerialPort), COMn resolved by ComNames.
class QtSerialComponent : public SerialComponent {
    Q_OBJECT
public:
    explicit QtSerialComponent(QObject* parent = nullptr);
    ~QtSerialComponent() override;

    void setCommPort(int port) override { m_commPort = port; }
    int commPort() const override { return m_commPort; }
    void setSettings(const QString& settings) override { m_settings = settings; }
    QString settings() const override { return m_settings; }
    void setInBufferSize(int) override { }
    void setOutBufferSize(int) override { }
    void setSThreshold(int) override { }
    void setRThreshold(int) override { }
    void setInBufferCount(int) override { }
    void setOutBufferCount(int) override { }
    qint64 inBufferCount() const override { return 0; }
    void setPortOpen(bool open) override;
    bool portOpen() const override { return false; }
    void setInputMode(int mode) override { m_inputMode = mode; }
    int inputMode() const override { return m_inputMode; }
    void output(const QString&) override { }
    void output(const QByteArray&) override { }
    QString inputText(qint64* byteCount = nullptr) override;
    QByteArray inputBytes() override { return {}; }

private:
    int m_commPort = 1;
    QString m_settings;
    int m_inputMode = InputText;
};
