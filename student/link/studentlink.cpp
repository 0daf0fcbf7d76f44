#include "studentlink.h"

#include "appfolder.h"
#include "enginetexts.h"
#include "linktexts.h"
#include "messages.h"
#include "ports.h"
#include "runlog.h"
#include "testengine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSysInfo>

namespace {

QString joinedLines(const QStringList& lines)
{
    QString text;
    for (const QString& line : lines)
        text += line + QLatin1String("\r\n");
    return text;
}

} // namespace

StudentLink::StudentLink(EngineNotices& notices, LinkDialogs& dialogs, ServerListener& listener,
                         const ChannelFactory& channels, quint32 seed, TimerFactory timers, QObject* parent)
    : QObject(parent), m_notices(notices), m_dialogs(dialogs), m_listener(listener), m_random(seed),
      m_connection(channels(*this)), m_reconnectTimer(timers([this] { ReconnectTimerTimer(); }, false)),
      m_deliveryTimer(timers([this] { deliveryFailed(); }, true))
{
    m_view.statusText = LinkText::Searching;
    m_view.waitCaption = LinkText::WaitForQuestions;
}

void StudentLink::channelUnsent(const QByteArray& message)
{
    if (awaitingDelivery() && message.startsWith(QByteArray(Protocol::Head::FinishReport) + '\0'))
        deliveryFailed();
}

StudentLink::~StudentLink() = default;

bool StudentLink::IsValidAddress(const QString& text)
{
    const QStringList parts = text.split(u'.');
    if (parts.size() != 4)
        return false;
    for (const QString& part : parts) {
        if (part.isEmpty() || part.size() > 3)
            return false;
        for (QChar c : part)
            if (c < u'0' || c > u'9')
                return false;
        if (part.toInt() > 255)
            return false;
    }
    return true;
}

// --- start ---

void StudentLink::start(const QStringList& arguments, const QString& serverOption)
{
    const Ports ports = ReadPorts();
    m_listener.setPort(ports.udp);
    m_tcpPort = quint16(ports.tcp);
    LogText(LinkText::PortsLog.arg(ports.udp).arg(ports.tcp));
    QDir folder(AppFolder());
    folder.mkdir(LinkText::TempFolder);
    folder.mkdir(LinkText::SavedWorksFolder);
    if (!arguments.isEmpty() && QFileInfo(arguments.first()).isFile()) {
        setState(ConnectionState::Autonomous);
        if (m_engine)
            m_engine->StartWithArgument(arguments.first());
    }
    m_reconnectInterval = int(m_random.bounded(ReconnectRandomMs));
    if (!serverOption.isEmpty() && IsValidAddress(serverOption)) {
        LogText(LinkText::ServerOptionLog.arg(serverOption));
        connectTo(serverOption);
        return;
    }
    if (!serverOption.isEmpty())
        LogText(LinkText::BadServerOptionLog.arg(serverOption));
    m_listener.setActive(true);
}

// --- finding the server ---

void StudentLink::StatusPanelClick()
{
    m_view.choiceShown = !m_view.choiceShown;
    update();
}

void StudentLink::rgMetodClick(WorkMode mode)
{
    m_view.mode = mode;
    switch (mode) {
    case WorkMode::Automatic:
        m_listener.setActive(true);
        m_view.statusText = LinkText::Searching;
        break;
    case WorkMode::ManualAddress:
        useTypedAddress();
        break;
    case WorkMode::SavedAddress:
        useSavedAddress();
        break;
    case WorkMode::Autonomous:
        takeQuestionFile();
        break;
    }
    update();
}

void StudentLink::useTypedAddress()
{
    const std::optional<QString> typed = m_dialogs.askServerAddress(m_address);
    if (!typed) {
        backToAutomatic();
        return;
    }
    if (!IsValidAddress(*typed)) {
        ShowMessage(LinkText::BadAddress.arg(*typed), MsgIcon::Warning);
        m_address.clear();
        backToAutomatic();
        return;
    }
    connectTo(*typed);
    QSaveFile file(AppFilePath(LinkText::ServerIpFile));
    if (!file.open(QIODevice::WriteOnly) || file.write(typed->toLatin1()) != typed->size() || !file.commit())
        LogText(QStringLiteral("ServerIP not written: %1").arg(file.errorString()));
}

void StudentLink::useSavedAddress()
{
    const QString path = AppFilePath(LinkText::ServerIpFile);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ShowMessage(LinkText::NoSavedAddress, MsgIcon::Warning);
        backToAutomatic();
        return;
    }
    // The address is a short line; a file of any other kind is read no further than that.
    const QString saved = QString::fromLatin1(file.readLine(64)).trimmed();
    file.close();
    if (!IsValidAddress(saved)) {
        ShowMessage(LinkText::BadAddress.arg(saved), MsgIcon::Warning);
        m_address.clear();
        QFile::remove(path);
        backToAutomatic();
        return;
    }
    connectTo(saved);
}

void StudentLink::takeQuestionFile()
{
    const QString path = m_dialogs.chooseQuestionFile();
    const std::optional<QString> topic =
        path.isEmpty() || !m_engine ? std::nullopt : m_engine->StartFromQuestionFile(path);
    if (!topic) {
        backToAutomatic();
        return;
    }
    m_view.topicCaption = *topic;
    m_listener.setActive(false);
    setState(ConnectionState::Autonomous);
}

void StudentLink::backToAutomatic()
{
    m_view.mode = WorkMode::Automatic;
    m_listener.setActive(true);
}

void StudentLink::connectTo(const QString& address)
{
    m_listener.setActive(false);
    m_address = address;
    LogText(LinkText::ConnectingLog.arg(address));
    m_view.statusText = LinkText::ConnectingTo.arg(address);
    m_connection->connectToServer(address, m_tcpPort);
    update();
}

void StudentLink::ListenerAdvertisementReceived(const QString& infoString, const QString& ip,
                                                const QString& computerName)
{
    LogText(LinkText::AdvertisementLog.arg(ip, computerName, infoString));
    // Once one answer is taken the listener is off; answers still on their way are not handled.
    if (infoString != QLatin1String("IamVezuviroz") || !m_listener.isActive() || !m_connection->isUnconnected())
        return;
    m_address = ip;
    m_reconnectTimer->start(m_reconnectInterval);
    m_listener.setActive(false);
}

// --- connecting ---

bool StudentLink::reconnectPending() const
{
    return m_reconnectTimer->isActive();
}

void StudentLink::ReconnectTimerTimer()
{
    m_reconnectTimer->stop();
    if (m_closing || m_address.isEmpty() || !m_connection->isUnconnected())
        return;
    connectTo(m_address);
}

void StudentLink::ClientConnect()
{
    m_reconnectTimer->stop();
    if (m_state == ConnectionState::Lost) {
        setState(ConnectionState::Restored);
        m_notices.showNotice(
            {LinkText::RestoredTitle, LinkText::RestoredText, NoticeIcon::Information, NoticeColour::Tooltip, 10});
    } else {
        setState(ConnectionState::Connected);
    }
    LogText(LinkText::ConnectedLog);
    SendIam();
}

void StudentLink::ClientError(int code)
{
    Q_UNUSED(code) // logged by the connection
    if (!m_closing)
        m_reconnectTimer->start(m_reconnectInterval);
}

void StudentLink::ClientDisconnect()
{
    LogText(LinkText::DisconnectedLog);
    const bool testLoaded = m_engine && m_engine->phase() != TestPhase::Waiting;
    if (m_state != ConnectionState::Autonomous)
        setState(testLoaded ? ConnectionState::Lost : ConnectionState::Searching);
    if (m_engine && m_engine->phase() == TestPhase::Answering)
        m_notices.showNotice({LinkText::LostTitle, LinkText::LostText, NoticeIcon::Warning, NoticeColour::Tooltip, 10});
    m_reconnectInterval = ReconnectLostMs + int(m_random.bounded(ReconnectRandomMs));
    m_view.statusText = LinkText::Searching;
    m_listener.setActive(true);
    // An address given by hand or on the command line is tried again as well: where discovery
    // cannot reach the server, it would never answer.
    if (!m_closing && !m_address.isEmpty())
        m_reconnectTimer->start(m_reconnectInterval);
    forgetOffer();
    if (awaitingDelivery())
        deliveryFailed();
    update();
}

void StudentLink::SendIam()
{
    m_connection->sendIam(m_engine ? m_engine->settings().TopicID : 0, QSysInfo::machineHostName());
}

// --- receiving ---

void StudentLink::ClientRead(const Protocol::ServerMessage& message)
{
    using Kind = Protocol::ServerMessage::Kind;
    switch (message.kind) {
    case Kind::WhoAreYou:
        SendIam();
        break;
    case Kind::Noop:
        m_connection->send(Protocol::command(Protocol::Head::NoopEcho));
        break;
    case Kind::AllowRequest:
        m_offered = true;
        m_offeredTopic = message.text;
        m_view.offerShown = true;
        m_view.offerHint = LinkText::TopicOffered.arg(message.text);
        if (m_engine && m_engine->phase() == TestPhase::Waiting && message.retry && m_getQuestionsMarked) {
            m_notices.tellBesideGetQuestions(EngineText::NetworkFailure);
            m_getQuestionsMarked = false;
        }
        update();
        break;
    case Kind::DenyRequest:
        forgetOffer();
        update();
        break;
    case Kind::Ready:
        takeReady(message.topicId);
        break;
    case Kind::SettingsList:
        leaveRestored();
        m_view.waitCaption = LinkText::ReceivingQuestions;
        update();
        if (m_engine)
            m_engine->ApplySettingsList(joinedLines(message.lines), false);
        break;
    case Kind::YourFinalPointsAre:
        m_notices.showNotice({LinkText::FinalMarkTitle,
                              LinkText::FinalMarkText.arg(message.text, QStringLiteral("\r\r")),
                              NoticeIcon::Information, NoticeColour::BrightGreen, 10});
        break;
    case Kind::SetPorts:
        WritePorts({}, message.udpPort, message.tcpPort);
        break;
    case Kind::NextStudent:
        m_deliveryTimer->stop(); // the server has cleared the workplace: the work is its now
        if (m_engine)
            m_engine->ResetForNextStudent();
        leaveRestored();
        m_view.waitCaption = LinkText::WaitForQuestions;
        update();
        break;
    case Kind::CloseClient:
        m_forcedClose = true;
        m_closing = true;
        Q_EMIT closeRequested();
        break;
    case Kind::CriteriaListIs:
        if (m_engine)
            m_engine->TakeCriteriaList(joinedLines(message.lines));
        break;
    case Kind::YourPrePointsAre:
        m_deliveryTimer->stop(); // the final report is delivered
        break;
    }
}

void StudentLink::takeQuestionSet(const QByteArray& package)
{
    if (m_engine && m_engine->LoadQuestionSet(package))
        m_view.waitCaption = LinkText::WaitForQuestions;
    update();
}

void StudentLink::questionSetFailed()
{
    // The connection has logged the failure and told the server.
    m_view.waitCaption = LinkText::WaitForQuestions;
    m_notices.tellUser(EngineText::SetNotTaken);
    update();
}

void StudentLink::takeReady(int topicId)
{
    if (m_state != ConnectionState::Restored || !m_engine || topicId != m_engine->settings().TopicID)
        return;
    setState(ConnectionState::Connected);
    m_engine->SendAnswerList(false); // the connection pauses before "TotalReport"
}

// A new hand-out or a cleared workplace leaves no answers to restore: without this a test handed
// out after a reconnection would run unreported, waiting for a "!Ready" that never comes.
void StudentLink::leaveRestored()
{
    if (m_state == ConnectionState::Restored)
        setState(ConnectionState::Connected);
}

void StudentLink::forgetOffer()
{
    m_offered = false;
    m_offeredTopic.clear();
    m_view.offerShown = false;
    m_view.offerHint.clear();
}

// --- the student ---

void StudentLink::btnGetQuestionsClick()
{
    m_connection->send(Protocol::command(Protocol::Head::GetQuestions));
    m_view.offerShown = false;
    m_getQuestionsMarked = true;
    update();
}

void StudentLink::WaitPanelClick()
{
    ShowMessage(LinkText::WaitCalmly, MsgIcon::Information);
}

bool StudentLink::FormCloseQuery()
{
    if (!mayClose()) {
        m_connection->sendNoop();
        ShowMessage(LinkText::DoNotClose, MsgIcon::Warning);
        return false;
    }
    m_closing = true;
    m_reconnectTimer->stop();
    // A test in progress that no server holds (the connection is lost, or the work is from a file)
    // goes to a result file: closing the program, or shutting the computer down, loses no answer.
    if (m_engine && m_engine->phase() == TestPhase::Answering && m_state != ConnectionState::Connected) {
        LogText(LinkText::ClosedInTestLog);
        m_engine->SaveWorkOffline();
    }
    return true;
}

// --- the engine's sends ---

void StudentLink::sendRout(int priceSum, const QStringList& route)
{
    if (m_connection->isConnected())
        m_connection->sendRout(priceSum, route);
}

void StudentLink::sendReport(const Protocol::ReportLines& lines)
{
    if (m_connection->isConnected())
        m_connection->sendReport(lines);
}

void StudentLink::sendFinishReport(const QStringList& results)
{
    if (!m_connection->isConnected())
        return;
    // Delivered only when "YourPrePointsAre" comes back; until then the work may still go to a file.
    m_deliveryTimer->start(DeliveryWaitMs);
    m_connection->sendFinishReport(results);
}

void StudentLink::sendTotalReport(const QStringList& results)
{
    if (m_connection->isConnected())
        m_connection->sendTotalReport(results);
}

void StudentLink::sendCriteriaNeeded()
{
    if (m_connection->isConnected())
        m_connection->sendCriteriaNeeded();
}

void StudentLink::abortQuestionSet()
{
    m_connection->abortQuestionSet();
}

void StudentLink::reportReceivingFailure()
{
    m_connection->reportQuestionSetFailure();
    m_view.waitCaption = LinkText::WaitForQuestions;
    update();
}

// --- delivery of the final report ---

bool StudentLink::awaitingDelivery() const
{
    return m_deliveryTimer->isActive();
}

void StudentLink::deliveryFailed()
{
    m_deliveryTimer->stop();
    LogText(LinkText::UndeliveredLog);
    const QString path = m_engine ? m_engine->SaveWorkOffline() : QString();
    if (!path.isEmpty())
        m_notices.showNotice({LinkText::SavedTitle, LinkText::SavedText.arg(QDir::toNativeSeparators(path)),
                              NoticeIcon::Warning, NoticeColour::Tooltip, 20});
}

// --- state ---

void StudentLink::setState(ConnectionState state)
{
    m_state = state;
    update();
}

void StudentLink::update()
{
    m_view.statusShown = m_state == ConnectionState::Searching || m_state == ConnectionState::Lost;
    Q_EMIT changed();
}
