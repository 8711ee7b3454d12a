#pragma once
// The help window: tells the user what to do about the current failure.

#include <QStringList>
#include <QUrl>
#include <QWidget>
#include <cstdint>
#include <optional>

class QPushButton;
class QTextBrowser;

/// Non-modal help window with eight fixed help pages. Hidden at start, showing the
/// pairing guide (page 4) with caption "Hilfe". Closing it only hides it.
class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);

    QTextBrowser* HTMLView = nullptr;  ///< the page view; link clicks go to LinkClick
    QWidget* Panel1 = nullptr;         ///< bottom panel, 41 pixels high
    QPushButton* BitBtn1 = nullptr;    ///< "OK", kept centred in Panel1

    /// Selects help page `code` (0..7) and sets the caption "Was ist zu tun? (code)".
    /// Any other code changes nothing. Works whether or not the window is visible.
    void ZeigeHilfeText(int32_t code);
    /// The ports the user may not open, as "COM5 (/dev/rfcomm0)": page 3 begins with them
    /// and what to do (PortsWithoutPermissionHtml); none, and it is as always.
    void SetPortsWithoutPermission(const QStringList& ports);
    /// Opens a link target through the shell; failures are ignored, the window stays.
    void LinkClick(const QUrl& HRef);
    /// "OK": hides the window; page and caption stay.
    void BitBtn1Click();
    /// Keeps BitBtn1 centred: left = floor(panel width / 2) - 40.
    void Panel1Resize();
    /// Does nothing; kept so the show event has its named handler.
    void FormShow();
    /// The folder of the session records, which every page names and links to; empty: this
    /// run writes none (switched off, or the folder unusable). Unset, it is
    /// SessionRecordFolder() (config/record_location.h).
    void SetRecordFolder(const QString& folder);
    /// The page shown now (0..7).
    int SelectedPage() const { return page_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    /// Each time it opens, "OK" has the focus, so Return closes it at once.
    void showEvent(QShowEvent* event) override;
    /// Escape hides the window wherever the focus is, as in every Windows dialog.
    void keyPressEvent(QKeyEvent* event) override;

private:
    /// The HTML of page `page` (0..7) as it is to be shown now.
    QString PageHtml(int page) const;

    /// The records' folder as set, or the system's place at the time.
    QString RecordFolder() const;
    /// The last lines of every page: where support finds the records.
    QString RecordsHtml() const;

    int page_ = 4;
    QStringList portsWithoutPermission_;
    std::optional<QString> recordFolder_;
    bool recordFolderFailed_ = false;  ///< the file manager could not be asked to open it
};
