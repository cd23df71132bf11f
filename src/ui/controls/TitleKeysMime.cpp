#include "ui/controls/TitleKeysMime.h"

#include <QMimeData>
#include <QStringList>

namespace tunquil::ui {

namespace {
const char* SourceName(SelectionSource source) {
    switch (source) {
    case SelectionSource::CategoryGrid:
        return "category";
    case SelectionSource::AlbumList:
        return "album";
    case SelectionSource::None:
        break;
    }
    return "none";
}
} // namespace

// One line naming the source, then one decimal key per line: the key list's own text form.
QMimeData* MakeTitleKeysMime(const DraggedTitles& titles) {
    QString first = SourceName(titles.source);
    if (titles.fromTab)
        first += " tab";
    QStringList lines{first};
    for (int32_t key : titles.keys)
        lines << QString::number(key);
    auto* data = new QMimeData;
    data->setData(kTitleKeysMimeType, lines.join('\n').toUtf8());
    return data;
}

DraggedTitles ReadTitleKeysMime(const QMimeData* data) {
    DraggedTitles titles;
    if (!data || !data->hasFormat(kTitleKeysMimeType))
        return titles;
    QStringList lines = QString::fromUtf8(data->data(kTitleKeysMimeType)).split('\n');
    if (lines.isEmpty())
        return titles;
    QStringList head = lines[0].split(' ');
    SelectionSource source = head[0] == "category" ? SelectionSource::CategoryGrid
                             : head[0] == "album"  ? SelectionSource::AlbumList
                                                   : SelectionSource::None;
    titles.fromTab = head.size() == 2 && head[1] == "tab";
    for (int i = 1; i < lines.size(); ++i) {
        if (lines[i].isEmpty() && i + 1 == lines.size())
            break; // a tab without titles: the source line alone
        bool ok = false;
        long long key = lines[i].toLongLong(&ok);
        if (!ok || key <= 0 || key > INT32_MAX)
            return {};
        titles.keys.push_back(static_cast<int32_t>(key));
    }
    titles.source = titles.keys.empty() && !titles.fromTab ? SelectionSource::None : source;
    if (titles.source == SelectionSource::None)
        titles.fromTab = false;
    return titles;
}

} // namespace tunquil::ui
