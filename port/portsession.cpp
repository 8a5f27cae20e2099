// SPDX-FileCopyrightText: 2026 Velmora
// SPDX-License-Identifier: GPL-3.0-or-later

#include "port/portsession.h"

#include "port/serialcomponent.h"

#include <utility>

namespace {

PortView closedView(const QString& status) { return { {}, status, PortView::Lamp::Closed, {} }; }

} // namespace

PortSession::PortSession(SerialComponent& serial)
    : m_serial(serial)
    , m_watch(serial)
{
}

PortView PortSession::start(const SelectionTexts& boxes)
{
    closeIfOpen();
    const Conversion<PortArguments> arguments = convertSelection(boxes);
    return arguments ? open(Opening::StartUp, *arguments, boxes) : PortView();
}

// Converting before anything is closed keeps a pick with an unusable text from dropping a working
// connection.
PortView PortSession::pick(const SelectionTexts& boxes)
{
    m_watch.cancel();
    const Conversion<PortArguments> arguments = convertSelection(boxes);
    if (!arguments)
        return { { arguments.refusal }, {}, PortView::Lamp::Unchanged, {} };
    return open(Opening::Apply, *arguments, boxes);
}

PortView PortSession::toggle(const SelectionTexts& boxes)
{
    m_watch.cancel();
    if (m_serial.portOpen())
        return close();
    const Conversion<PortArguments> arguments = convertSelection(boxes);
    if (!arguments)
        return {};
    PortView view = open(Opening::Apply, *arguments, boxes);
    if (m_serial.portOpen()) {
        view.status = StatusText::open(boxes);
        view.lamp = PortView::Lamp::Open;
    } else {
        view.status = StatusText::shortClosed();
        view.lamp = PortView::Lamp::Closed;
    }
    return view;
}

PortView PortSession::close()
{
    m_watch.cancel();
    closeIfOpen();
    return closedView(StatusText::closed());
}

PortView PortSession::lost()
{
    PortView view = close();
    if (m_lastOpened)
        m_watch.watch(m_lastOpened->arguments.port, m_lastOpened->device);
    return view;
}

PortView PortSession::returned()
{
    if (!m_lastOpened || m_serial.portOpen())
        return {};
    m_watch.cancel();
    const Opened opened = *m_lastOpened;
    const bool reopened = m_serial.setSettings(opened.arguments) && m_serial.setPortOpen(true)
        && m_serial.portOpen();
    // The device may have changed between the watch's look and the open.
    m_reopened = reopened && m_serial.openedDevice().identity == opened.device;
    if (m_reopened)
        return told(
            { {}, StatusText::open(opened.boxes), PortView::Lamp::Open, QStringLiteral("") });
    const QString reason = reopened ? QString() : m_serial.errorString();
    closeIfOpen();
    m_watch.watch(opened.arguments.port, opened.device);
    return told({ {}, {}, PortView::Lamp::Unchanged, reason });
}

PortView PortSession::failed()
{
    PortView view = closedView(StatusText::closed());
    view.reason = m_serial.errorString();
    if (std::exchange(m_reopened, false) && m_lastOpened)
        m_watch.watch(m_lastOpened->arguments.port, m_lastOpened->device);
    return told(view);
}

QString PortSession::waitingText() const
{
    if (!m_watch.isWatching() || !m_lastOpened)
        return {};
    return QStringLiteral("等待 ") + m_lastOpened->boxes.port + QStringLiteral(" 原设备 (")
        + m_lastOpened->device.description() + QStringLiteral(") 重新连接");
}

void PortSession::end()
{
    m_watch.cancel();
    closeIfOpen();
}

PortView PortSession::open(
    Opening opening, const PortArguments& arguments, const SelectionTexts& boxes)
{
    const bool startUp = opening == Opening::StartUp;
    m_reopened = false;
    m_watch.cancel();
    closeIfOpen();
    bool opened = m_serial.setSettings(arguments);
    if (startUp)
        m_serial.setOutBufferSize(4096); // kept for every later opening
    opened = opened && m_serial.setPortOpen(true);
    if (!opened) {
        const QString reason = m_serial.errorString();
        PortView view = close();
        view.reason = reason;
        view.message = startUp
            ? Message { QStringLiteral("没有发现此串口或被占用"), Message::Icon::Warning, true }
            : Message { QStringLiteral("没有成功，请重试【检查端口是否被占用，或者端口号正确】") };
        return told(view);
    }
    if (!m_serial.portOpen())
        // At start-up the switch and lamp as built say "open"; left alone they would contradict
        // the port.
        return closedView(StatusText::closed());
    m_lastOpened = Opened { arguments, boxes, m_serial.openedDevice().identity };
    const QString noReason(QStringLiteral(""));
    if (startUp)
        return told({ {}, StatusText::open(boxes), PortView::Lamp::Unchanged, noReason });
    return told({ {}, StatusText::applied(boxes), PortView::Lamp::Open, noReason });
}

// Keeps the reason for the status line's tooltip; a re-open that keeps failing the same way is
// told on standard error only the first time.
PortView PortSession::told(PortView view)
{
    if (view.reason.isNull())
        return view;
    if (!view.reason.isEmpty() && view.reason == m_failure)
        view.reason = QString();
    else
        m_failure = view.reason;
    return view;
}

void PortSession::closeIfOpen()
{
    if (m_serial.portOpen())
        (void)m_serial.setPortOpen(false);
}
