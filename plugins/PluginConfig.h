// PluginConfig: the dialog "Input plug-in Configuration", where the user sees the plug-ins
// in the Plugins folder, loads and unloads them, opens a loaded plug-in's own About and
// Configure windows, and sets "Plugin First". The engine owns one and tells it its message
// window; the window itself (Qt Widgets) is made the first time the dialog is shown, so an
// engine without a widget application never makes one.
//
// Threads: UI thread only.
#pragma once

#include "MessageWindow.h"

#include <memory>
#include <string>

class QDialog;
class QTableWidget;
class QPushButton;
class QCheckBox;

class TPluginConfigForm {
public:
    TPluginConfigForm();
    ~TPluginConfigForm();
    TPluginConfigForm(const TPluginConfigForm&) = delete;
    TPluginConfigForm& operator=(const TPluginConfigForm&) = delete;

    // The engine's message window, to which "Plugin First" clicks are posted.
    void SetPluginConfigTarget(HWND Window) { target_ = Window; }
    HWND PluginConfigTarget() const { return target_; }

    // Shows the dialog (not modal), rebuilt from the folder and the manager's slots.
    void Show();

    // ---- handlers, as the buttons and grids call them ----
    void FormShow();
    void ClearPluginGrid();
    void FillPluginGrid();
    void btnLoadClick();
    void btnUnloadClick();
    void btnAboutClick();
    void btnConfigureClick();
    void btnCloseClick();
    void PluginFirstClick();

    // ---- for the shell's test hook and for tests ----
    // Selects the detected file of that name (false when it is not listed).
    bool SelectDetected(const std::string& FileName);
    // Selects row Row (1..8) of the loaded plug-ins' grid.
    void SelectLoadedRow(int Row);
    int LoadedCount() const { return loadedCount_; }
    int DetectedCount() const { return detectedCount_; }
    QDialog* Window() const;  // null until first shown
    QTableWidget* DetectedList() const;
    QTableWidget* LoadedGrid() const;
    QPushButton* LoadButton() const;
    QCheckBox* PluginFirstBox() const;

private:
    struct Ui;
    void Build();
    void UpdateLoadButton();
    bool IsLoadedName(const std::string& Name) const;
    void WriteRow(int Row, const std::string& Name, const std::string& Description, const std::string& Extensions);
    std::string SelectedLoadedName(int* Row) const;

    HWND target_ = 0;
    int loadedCount_ = 0;
    int detectedCount_ = 0;
    std::unique_ptr<Ui> ui_;
};
