// The controller of one editing window: the commands, the placing of new symbols, the
// property sheets, the clipboard, the export and the card download.
#pragma once

#include <QObject>
#include <QPointF>
#include <functional>
#include <optional>
#include <string>

#include "keyboard_editor/down_mgr.h"
#include "keyboard_editor/undo_commands.h"

class QDialog;
class QMenu;
class QProgressDialog;
class QWidget;

namespace clavon {

class CClavonView;

inline constexpr const char* kOutOfBounds = "Out of bounds!";
inline constexpr const char* kCanNotScale = "Can not scale more components at once!";
inline constexpr const char* kDownloading = "Downloading!";

// Command ids of the menus and the toolbar.
enum CommandId : int {
    ID_BUTTON = 32771,
    ID_KEYBOARD = 32778,
    ID_EXPORT_ROM = 32779,
    ID_VALUE = 32780,
    ID_DOWNLOAD_ROM = 32781,
    ID_COMM_PARAMS = 32783,
    ID_REPLACE = 32785,
    ID_SSFDC = 32788,
};

class CClavonController : public QObject {
    Q_OBJECT
  public:
    CClavonController(CClavonDoc& doc, CClavonView& view, QWidget* window);

    CClavonDoc& Doc() { return m_doc; }
    CDownMgr& Manager() { return m_manager; }
    bool Ready() const { return m_ready; }
    bool CanDownload() const { return !m_manager.IsUsed() && m_ready; }

    ~CClavonController() override;

    // Runs a modal dialog; tests answer it instead.
    std::function<int(QDialog&)> runDialog;
    // Asks for the file of "Export To ROM"; nothing on Cancel.
    std::function<std::optional<std::string>()> askRomPath;

    bool Command(int id);
    void StartPlacing(SymbolKind kind) { m_placing = kind; }
    bool Placing() const { return m_placing.has_value(); }
    // Places a new symbol with its top left at a point of the panel.
    bool Place(SymbolKind kind, QPointF panelPos);

    void ModelProperties();
    void SymbolProperties();
    bool ExportToRom();
    void DownloadRom();
    void OpenSSFDCFiles();
    void CommunicationParameters();
    // Puts the selected symbols (all of them when none is selected) back at their placement
    // records: where they were at the last save, or where they were made since.
    void Replace();
    // Moves the selected symbols by whole grid cells, as one undoable step; nothing moves
    // when a symbol would leave the panel.
    bool MoveSelection(int columns, int rows);
    void Cut();
    void Copy();
    void Paste();
    void Delete();
    void Undo();
    void Redo();

    // The menu for a right click with the current selection, and its name.
    QMenu* ContextMenu(QWidget* parent);
    // Where the file dialogs start: the document's folder, the home folder for a new one.
    QString DocumentFolder() const;
    // Status bar texts.
    QString PointerText() const { return m_pointerText; }
    QString SelectionText() const;
    // False (after "Downloading!") while a transfer runs.
    bool CanClose();

  signals:
    void statusChanged();
    void transferChanged();
    // A line for the main window's status bar: what a card command did, or why it failed.
    void statusMessage(const QString& text);

  private:
    void OnGeometryEdit(const std::map<CODKesSymbol*, QRectF>& before, bool sized);
    int Run(QDialog& dialog);
    // Card commands (card_commands.cpp).
    void OnDownloadFinished(bool ok, const std::string& report);
    // A card that can take files: the reader answers, a card is in it and it is formatted
    // (after the user agreed to format it); false, with the reason shown, otherwise.
    bool CheckCard();

    CClavonDoc& m_doc;
    CClavonView& m_view;
    QWidget* m_window;
    CDownMgr m_manager;
    bool m_ready = true;
    std::optional<SymbolKind> m_placing;
    QPointF m_lastPress;
    QString m_pointerText;
    QProgressDialog* m_progress = nullptr;
    int m_sending = 0;  // the subtype of the keyboard being sent
};

}  // namespace clavon
