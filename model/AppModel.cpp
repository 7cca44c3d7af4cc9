// Adding files, choosing the destination, output naming and the window's
// direct changes.
#include "AppModel.h"

#include "Converter.h"
#include "FilePicker.h"
#include "FileUrls.h"
#include "MovieFolders.h"
#include "Utf8.h"

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// The text after the last full stop of the file name; a name that only
// starts with a full stop (".mov") has none. Text is enough: bytes that are
// not UTF-8 become U+FFFD, never a full stop or a letter.
QString pathExtension(const QUrl& url)
{
    const QString name = url.fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > 0 ? name.mid(dot + 1) : QString();
}

QByteArray withoutExtension(const QByteArray& name)
{
    const qsizetype dot = name.lastIndexOf('.');
    return dot > 0 ? name.left(dot) : name;
}

// Anything at the path counts, a dangling symbolic link included: the final
// rename would refuse it as well.
bool somethingExists(const QByteArray& path)
{
    struct stat info;
    return ::lstat(path.constData(), &info) == 0;
}

// The longest name the folder takes, in bytes.
qsizetype nameLimit(const QByteArray& folder)
{
    const long limit = ::pathconf(folder.constData(), _PC_NAME_MAX);
    return limit > 0 ? limit : 255;
}

// `base` + `ending`, the base cut between two characters where both would
// not fit in `limit` bytes.
QByteArray fittingName(const QByteArray& base, const QByteArray& ending, qsizetype limit)
{
    const qsizetype room = std::max<qsizetype>(limit - ending.size(), 0);
    if (base.size() <= room)
        return base + ending;
    const std::size_t kept = utf8::characterBoundaryAtMost(
        std::string_view(base.constData(), base.size()), static_cast<std::size_t>(room));
    return base.left(static_cast<qsizetype>(kept)) + ending;
}

} // namespace

AppModel::AppModel(std::shared_ptr<FilePicker> picker, std::shared_ptr<Converter> converter,
    QObject* parent)
    : QObject(parent)
    , m_picker(std::move(picker))
    , m_converter(converter ? std::move(converter) : std::make_shared<Converter>())
    , m_batch(m_items, m_converter, [this](const QUrl& source) { return outputURL(source); })
{
    connect(&m_items, &QueueList::countChanged, this, &AppModel::updateHasPending);
    connect(&m_items, &QueueList::outputCountChanged, this, &AppModel::updateHasPending);
    connect(&m_batch, &BatchRun::runningChanged, this, &AppModel::runningChanged);
    connect(&m_batch, &BatchRun::pausedChanged, this, &AppModel::pausedChanged);
}

AppModel::~AppModel() = default;

QString AppModel::destinationPath() const
{
    return QString::fromUtf8(fileUrls::path(m_destination));
}

bool AppModel::hasPending() const
{
    return m_items.count() > m_items.outputCount();
}

void AppModel::add(const QList<QUrl>& urls)
{
    // One spelling per file, whichever way its URL came, so duplicates are found.
    for (const QUrl& url : urls)
        m_waitingUrls.push_back(fileUrls::normalized(url));
    addWaitingUrls();
}

void AppModel::addWaitingUrls()
{
    while (!m_readingFolder && !m_waitingUrls.empty()) {
        const QUrl url = std::move(m_waitingUrls.front());
        m_waitingUrls.pop_front();
        // Only local files can be handed to ffmpeg; anything else is refused
        // like another kind. A name ending in .mov is taken as a movie without
        // looking at it, so a long list of files costs no disk access here.
        if (url.isLocalFile() && pathExtension(url).toLower() == u"mov"_s)
            addMovie(url);
        else if (url.isLocalFile() && movieFolders::isFolder(fileUrls::path(url)))
            readFolder(fileUrls::path(url));
        else
            setNotice(refusedKindNotice);
    }
}

void AppModel::addMovie(const QUrl& url)
{
    if (!m_items.contains(url))
        m_items.append(QueueItem::forUrl(url));
}

void AppModel::readFolder(const QByteArray& path)
{
    // Off the main thread: a network share or a large card can take seconds
    // to list, and the window must go on drawing meanwhile.
    m_readingFolder = true;
    const quint64 reading = ++m_folderReading;
    m_folderReader = std::jthread([this, path, reading](std::stop_token stop) {
        QByteArrayList movies = movieFolders::moviesIn(path, stop);
        if (stop.stop_requested())
            return;
        // Posted to the model, so it is dropped if the model has gone.
        QMetaObject::invokeMethod(
            this, [this, reading, movies = std::move(movies)] { addFolderMovies(reading, movies); },
            Qt::QueuedConnection);
    });
}

void AppModel::addFolderMovies(quint64 reading, const QByteArrayList& movies)
{
    if (reading != m_folderReading)
        return; // the list was cleared while the folder was read
    m_readingFolder = false;
    // Other files beside movies are a camera's sidecars and pass silently; a
    // folder without any movie was the wrong folder.
    if (movies.isEmpty())
        setNotice(refusedKindNotice);
    for (const QByteArray& movie : movies)
        addMovie(fileUrls::fromPath(movie));
    addWaitingUrls();
}

void AppModel::browse()
{
    if (!m_picker)
        return;
    if (const auto chosen = m_picker->pickMovies())
        add(*chosen);
}

void AppModel::chooseFolder()
{
    if (!m_picker)
        return;
    if (const auto chosen = m_picker->pickFolder())
        setDestination(chosen->isEmpty() ? QUrl() : fileUrls::normalized(chosen->constFirst()));
}

QUrl AppModel::outputURL(const QUrl& source) const
{
    const QByteArray sourcePath = fileUrls::path(source);
    const QByteArray folder
        = m_destination.isEmpty() ? fileUrls::folderOf(sourcePath) : fileUrls::path(m_destination);
    const QByteArray base = withoutExtension(fileUrls::nameOf(sourcePath));
    const QByteArray prefix = folder.endsWith('/') ? folder : folder + '/';
    // A name the folder cannot hold would fail the row at its end; the
    // movie's name is shortened instead, as much as each suffix needs.
    const qsizetype limit = nameLimit(folder);
    const auto candidate = [&](qint64 counter) {
        const QByteArray ending
            = counter < 2 ? QByteArray(".mp4") : '-' + QByteArray::number(counter) + ".mp4";
        return prefix + fittingName(base, ending, limit);
    };
    const auto taken = [](const QByteArray& path) {
        return somethingExists(path) || OutputReservation::isReserved(path);
    };
    QByteArray path = candidate(1);
    for (qint64 counter = 2; taken(path); ++counter)
        path = candidate(counter);
    return fileUrls::fromPath(path);
}

void AppModel::start()
{
    if (m_batch.running())
        return;
    m_batch.start();
    setNotice(QString());
}

void AppModel::remove(const QString& id)
{
    const QUuid uuid = QUuid::fromString(id);
    m_items.remove(uuid);
    m_batch.forget(uuid);
}

void AppModel::clear()
{
    // What a folder being read would still bring goes too.
    m_folderReader.request_stop();
    ++m_folderReading;
    m_readingFolder = false;
    m_waitingUrls.clear();
    for (const QueueItem& item : m_items.items())
        m_batch.forget(item.id);
    m_items.clear();
}

void AppModel::resetDestination()
{
    setDestination(QUrl());
}

void AppModel::cancel()
{
    m_batch.cancel();
}

void AppModel::pause()
{
    m_batch.pause();
}

void AppModel::resume()
{
    m_batch.resume();
}

void AppModel::setNotice(const QString& notice)
{
    if (m_notice == notice && m_notice.isNull() == notice.isNull())
        return;
    m_notice = notice;
    Q_EMIT noticeChanged();
}

void AppModel::setDestination(const QUrl& destination)
{
    if (m_destination == destination)
        return;
    m_destination = destination;
    Q_EMIT destinationChanged();
}

void AppModel::updateHasPending()
{
    const bool pending = hasPending();
    if (m_hasPending == pending)
        return;
    m_hasPending = pending;
    Q_EMIT hasPendingChanged();
}
