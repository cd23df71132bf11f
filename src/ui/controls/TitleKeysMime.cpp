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
    QStringList lines{QString::fromLatin1(SourceName(titles.source)) +
                      (titles.fromTab ? QStringLiteral(" tab") : QString())};
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
    QString first = lines[0];
    titles.fromTab = first.endsWith(QStringLiteral(" tab"));
    if (titles.fromTab)
        first.chop(4);
    SelectionSource source = first == "category" ? SelectionSource::CategoryGrid
                             : first == "album"  ? SelectionSource::AlbumList
                                                 : SelectionSource::None;
    for (int i = 1; i < lines.size(); ++i) {
        bool ok = false;
        long long key = lines[i].toLongLong(&ok);
        if (!ok || key <= 0 || key > INT32_MAX)
            return {};
        titles.keys.push_back(static_cast<int32_t>(key));
    }
    titles.source = titles.keys.empty() ? SelectionSource::None : source;
    return titles;
}

} // namespace tunquil::ui
