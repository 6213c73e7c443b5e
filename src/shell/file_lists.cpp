#include "shell/file_lists.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QStorageInfo>
#include <QStyle>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <vector>
#include <vector>

#include "engine/native_path.h"
#include "engine/virtual_keys.h"
#include "shell/trap.h"

namespace qova::shell {

using engine::shiftState;
using engine::virtualKey;

namespace {

QString letterFor(int i) { return QString(QChar('A' + i)) + ":"; }

bool isNavigation(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Up: case Qt::Key_Down: case Qt::Key_PageUp: case Qt::Key_PageDown:
    case Qt::Key_Home: case Qt::Key_End: case Qt::Key_Left: case Qt::Key_Right:
        return true;
    default:
        return false;
    }
}

}  // namespace

// --- drives ---

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {
    refresh();
    connect(this, &QComboBox::currentIndexChanged, this, [this] {
        if (!filling_) emit driveChanged();
    });
}

void DriveList::refresh() {
    if (fixedRoots_) {
        fill();
        return;
    }
    QStringList roots;
    const QStringList pseudo = {"proc", "sysfs", "devtmpfs", "devpts", "cgroup", "cgroup2", "securityfs", "pstore",
                                "debugfs", "tracefs", "mqueue", "hugetlbfs", "fusectl", "configfs", "bpf", "autofs",
                                "binfmt_misc", "squashfs", "nsfs", "rpc_pipefs"};
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        if (!v.isValid() || pseudo.contains(QString::fromLatin1(v.fileSystemType()))) continue;
        const QString root = v.rootPath();
        if (root.startsWith("/proc") || root.startsWith("/sys") || root.startsWith("/dev") || root.startsWith("/run"))
            continue;
        if (!roots.contains(root)) roots << root;
    }
    std::sort(roots.begin(), roots.end());
    roots.removeAll("/");
    roots.prepend("/");
    roots_ = roots.mid(0, 26);
    fill();
}

void DriveList::setRoots(const QStringList& roots) {
    fixedRoots_ = true;
    roots_ = roots.mid(0, 26);
    fill();
}

void DriveList::fill() {
    const QString keep = drive();
    filling_ = true;
    clear();
    for (int i = 0; i < roots_.size(); ++i) {
        const QString label = QStorageInfo(roots_[i]).displayName();
        const QString text = letterFor(i) + " " + roots_[i] + (label != roots_[i] && !label.isEmpty() ? " [" + label + "]" : "");
        addItem(style()->standardIcon(QStyle::SP_DriveHDIcon), text, roots_[i]);
    }
    const int k = findText(keep, Qt::MatchStartsWith);
    setCurrentIndex(k >= 0 ? k : 0);
    filling_ = false;
}

QString DriveList::drive() const { return currentIndex() >= 0 ? letterFor(currentIndex()) : QString(); }

QString DriveList::rootOf(const QString& letter) const {
    if (letter.isEmpty()) return QString();
    const int i = letter.at(0).toUpper().unicode() - 'A';
    return i >= 0 && i < roots_.size() ? roots_[i] : QString();
}

QString DriveList::driveOf(const QString& path) const {
    const QString p = QDir(path).absolutePath();
    int best = -1, bestLen = -1;
    for (int i = 0; i < roots_.size(); ++i) {
        const QString r = roots_[i];
        const bool inside = p == r || p.startsWith(r.endsWith('/') ? r : r + "/");
        if (inside && r.size() > bestLen) { best = i; bestLen = int(r.size()); }
    }
    return best >= 0 ? letterFor(best) : QString();
}

void DriveList::setDrive(const QString& letter) {
    const QString root = rootOf(letter);
    if (root.isEmpty()) throw std::runtime_error("drive not found");
    if (!QStorageInfo(root).isReady() && !QFileInfo(root).isDir()) throw std::runtime_error("drive not ready");
    setCurrentIndex(letter.at(0).toUpper().unicode() - 'A');
}

void DriveList::keyPressEvent(QKeyEvent* e) {
    emit keyDown(virtualKey(e), shiftState(e));
    if (isNavigation(e->key())) QComboBox::keyPressEvent(e);
}

// --- directories ---

DirList::DirList(QWidget* parent) : QListWidget(parent) {
    setUniformItemSizes(true);
    // A directory that cannot be opened leaves the list as it was.
    connectTrapped(this, &QListWidget::itemDoubleClicked, this,
                   [this](QListWidgetItem* item) { setPath(item->data(Qt::UserRole).toString()); });
}

void DirList::setPath(const QString& p) {
    const QFileInfo fi(p);
    if (p.isEmpty() || !fi.isDir() || !fi.isReadable()) throw std::runtime_error("no such directory");
    const QString abs = QDir(fi.absoluteFilePath()).absolutePath();
    const bool changedPath = abs != path_;
    path_ = abs;
    refresh();
    if (changedPath) emit changed();
}

void DirList::refresh() {
    clear();
    if (path_.isEmpty()) return;
    // The chain from the root down to the directory, then its subdirectories.
    QStringList chain;
    for (QDir d(path_);; ) {
        chain.prepend(d.absolutePath());
        if (d.isRoot() || !d.cdUp()) break;
    }
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    int depth = 0;
    for (const QString& c : chain) {
        const QString name = QDir(c).isRoot() ? c : QDir(c).dirName();
        auto* item = new QListWidgetItem(open, QString(depth * 2, ' ') + name, this);
        item->setData(Qt::UserRole, c);
        ++depth;
    }
    const int current = count() - 1;
    const QStringList subs = QDir(path_).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& s : subs) {
        auto* item = new QListWidgetItem(closed, QString(depth * 2, ' ') + s, this);
        item->setData(Qt::UserRole, QDir(path_).filePath(s));
    }
    setCurrentRow(current);
}

QString DirList::entryPath(int row) const {
    const QListWidgetItem* it = item(row);
    return it ? it->data(Qt::UserRole).toString() : path_;
}

void DirList::keyPressEvent(QKeyEvent* e) {
    emit keyDown(virtualKey(e), shiftState(e));
    if (isNavigation(e->key()) && e->modifiers() == Qt::NoModifier) QListWidget::keyPressEvent(e);
}

// --- files ---

FileList::FileList(QWidget* parent) : QListWidget(parent) {
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Only a move the user made (a click, a key, setListIndex) is a click:
    // the list making its first row current when it gets the focus is not.
    connect(this, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!silent_ && driven_ && row >= 0) emit clicked();
    });
}

namespace {

// A pattern's wildcards compiled once for a whole listing (compiling them
// for every file name was most of the program's start in a large folder).
class PatternMatcher {
public:
    explicit PatternMatcher(const QString& pattern) {
        for (const QString& p : pattern.split(';', Qt::SkipEmptyParts)) {
            const QString t = p.trimmed();
            if (t == "*.*" || t == "*") {
                all_ = true;
                return;
            }
            // "*.ext", the usual form, is a suffix test.
            const QString rest = t.mid(1);
            if (t.startsWith("*.") && !rest.contains('*') && !rest.contains('?') && !rest.contains('[')) {
                suffixes_.push_back(rest);
                continue;
            }
            res_.emplace_back(QRegularExpression::wildcardToRegularExpression(t),
                              QRegularExpression::CaseInsensitiveOption);
        }
    }
    bool matches(const QString& name) const {
        if (all_) return true;
        for (const QString& s : suffixes_)
            if (name.endsWith(s, Qt::CaseInsensitive)) return true;
        for (const QRegularExpression& re : res_)
            if (re.match(name).hasMatch()) return true;
        return false;
    }

private:
    bool all_ = false;
    std::vector<QString> suffixes_;
    std::vector<QRegularExpression> res_;
};

}  // namespace

bool FileList::matches(const QString& name, const QString& pattern) { return PatternMatcher(pattern).matches(name); }

void FileList::setPath(const QString& p) {
    path_ = QDir(p).absolutePath();
    refresh();
}

void FileList::setPattern(const QString& pattern) {
    pattern_ = pattern;
    refresh();
}

void FileList::refresh() {
    silent_ = true;
    clear();
    // Read by the names' bytes: a name that is not UTF-8 (Shift-JIS from an
    // old disc) is listed decoded for the eye and kept as its bytes for
    // opening, copying and deleting (engine/native_path.h).
    struct Name {
        QString real, shown;
    };
    std::vector<Name> names;
    const PatternMatcher matcher(pattern_);
    std::error_code ec;
    const std::filesystem::path dir(engine::nativePath(path_));
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code fe;
        if (!it->is_regular_file(fe)) continue;
        const std::string bytes = it->path().filename().native();
        Name n{engine::pathFromNative(bytes), engine::displayName(bytes)};
        if (matcher.matches(n.shown)) names.push_back(std::move(n));
    }
    std::sort(names.begin(), names.end(), [](const Name& a, const Name& b) {
        const int c = QString::compare(a.shown, b.shown, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a.real < b.real;
    });
    for (const Name& n : names) {
        auto* item = new QListWidgetItem(n.shown, this);
        item->setData(Qt::UserRole, n.real);
    }
    setCurrentRow(-1);
    silent_ = false;
}

QString FileList::fileName() const {
    const QListWidgetItem* it = currentItem();
    return it ? it->data(Qt::UserRole).toString() : QString();
}

void FileList::setListIndex(int index) {
    if (index < 0 || index >= count()) {
        silent_ = true;
        setCurrentRow(-1);
        clearSelection();
        silent_ = false;
        return;
    }
    if (index == currentRow()) {
        emit clicked();
        return;
    }
    const bool was = driven_;
    driven_ = true;
    setCurrentRow(index);
    driven_ = was;
}

QString FileList::entry(int i) const {
    const QListWidgetItem* it = item(i);
    return it ? it->data(Qt::UserRole).toString() : QString();
}

void FileList::keyPressEvent(QKeyEvent* e) {
    emit keyDown(virtualKey(e), shiftState(e));
    if (isNavigation(e->key())) {
        // Selection moves whatever modifier is held; the click it raises
        // is the browser's business (it waits while a modifier is down).
        QKeyEvent plain(e->type(), e->key(), Qt::NoModifier, e->text(), e->isAutoRepeat(), ushort(e->count()));
        const bool was = driven_;
        driven_ = true;
        QListWidget::keyPressEvent(&plain);
        driven_ = was;
    }
}

void FileList::keyReleaseEvent(QKeyEvent* e) {
    // The shift state after the release: releasing Shift itself leaves none.
    Qt::KeyboardModifiers m = e->modifiers();
    if (e->key() == Qt::Key_Shift) m &= ~Qt::ShiftModifier;
    if (e->key() == Qt::Key_Control) m &= ~Qt::ControlModifier;
    if (e->key() == Qt::Key_Alt) m &= ~Qt::AltModifier;
    emit keyUp(virtualKey(e), engine::shiftStateFromModifiers(int(m)));
}

void FileList::focusInEvent(QFocusEvent* e) {
    QListWidget::focusInEvent(e);
    // Getting the focus makes the first entry current; with nothing chosen
    // yet, nothing is: the first Down then chooses the first entry. Not
    // while the user's own click or key is choosing one (the focus can
    // arrive while its picture loads, before the entry shows selected).
    if (!driven_ && currentItem() && !currentItem()->isSelected()) {
        silent_ = true;
        setCurrentRow(-1);
        silent_ = false;
    }
}

void FileList::mousePressEvent(QMouseEvent* e) {
    const int before = currentRow();
    QListWidgetItem* hit = itemAt(e->position().toPoint());
    // The empty space below the last entry is no entry: nothing to click.
    if (!hit) {
        setFocus(Qt::MouseFocusReason);
        return;
    }
    const bool was = driven_;
    driven_ = true;
    QListWidget::mousePressEvent(e);
    driven_ = was;
    // Clicking the selected entry again is a click too.
    if (currentRow() == before && before >= 0 && hit == currentItem()) emit clicked();
}

}  // namespace qova::shell
