// The alert settings dialog (stocks to watch and their alerts) and the phone-number window.
#pragma once

#include "core/prompter.h"
#include "core/settings.h"
#include "net/urlopener.h"
#include "store/alertlists.h"
#include "store/alertstore.h"

#include <QComboBox>
#include <QWidget>
#include <functional>
#include <memory>

class QCheckBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTimer;

namespace net { class HttpClient; }
namespace app { class DigitEdit; }

namespace settings {

// What the dialog needs from the main window while it is open.
struct SettingsHost {
    QWidget* mainWindow = nullptr;   // held disabled while the dialog is open
    QTimer* alertTimer = nullptr;    // the alert tick, stopped while the dialog is open
    QTimer* blogTimer = nullptr;     // the blog search, stopped likewise
    std::function<void(bool local, bool phone)> showAlertStatus;
    std::function<void()> pauseTicker = [] {};    // the desktop ticker, when there is one
    std::function<void()> resumeTicker = [] {};
    std::function<void()> rebuildTicker = [] {};
};

// A drop-down list that takes no keys: only its items can be chosen, with the mouse.
class ChoiceBox : public QComboBox {
    Q_OBJECT
public:
    ChoiceBox(const QString& name, const QStringList& items, const QString& current, QWidget* parent);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

class PhoneWindow;

class SettingsDialog : public QWidget {
    Q_OBJECT
public:
    SettingsDialog(store::AlertStore& store, store::AlertLists& lists, const app::Settings& settings,
                   app::Prompter& prompter, net::UrlOpener& opener, SettingsHost host, QWidget* parent = nullptr);
    ~SettingsDialog() override;

    // Opens the dialog from the main window's settings link.
    void open();
    // Add the typed code (BitBtn1).
    void addStock();
    // Remove the selected stock (BitBtn2).
    void removeSelected();
    // Show the selected stock's settings in the right group.
    void delclick();
    // Save, mirror and reload (BitBtn3).
    void save();
    // Leave without saving (BitBtn4 or the close box); true when the dialog was left.
    bool leaveWithoutSaving();
    // Open the phone window (Label14).
    void openPhoneWindow();

    int SettingsRow = -1;    // the watched stock being edited; -1 when none
    QString LookupName;      // name found by the last code lookup
    bool PhoneStored = false;   // a phone number was stored when the dialog opened

    // Called by the phone window once a number was registered.
    void phoneRegistered(const QString& number);
    PhoneWindow& phoneWindow() { return *m_phone; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void setRightGroupEnabled(bool enabled);
    bool getvt(const QString& code);
    void finishEditing();
    void storeCheck(QCheckBox* box, int flagPosition);
    class NetworkWait;

    store::AlertStore& m_store;
    store::AlertLists& m_lists;
    const app::Settings& m_settings;
    app::Prompter& m_prompter;
    net::UrlOpener& m_opener;
    SettingsHost m_host;
    net::HttpClient* m_http;
    std::unique_ptr<PhoneWindow> m_phone;   // a window of its own, living as long as the dialog
    bool m_updating = false;   // the list selection is being set by the dialog itself
    bool m_waiting = false;    // a lookup or a save is waiting on the network

    app::DigitEdit* m_codeEdit;   // Edit1
    QLabel* m_nameLabel;          // Label12
    QLabel* m_priceLabel;         // Label13
    QListWidget* m_list;          // ListBox1
    QCheckBox *m_openClose, *m_limit, *m_percent, *m_trade, *m_order, *m_broadcast;   // CheckBox1..6
    ChoiceBox *m_percentBox, *m_tradeBox, *m_orderBox, *m_intervalBox;               // ComboBox1..4
    QLabel* m_phoneLabel;         // Label1
    QCheckBox* m_toPhone;         // CheckBox7
    QCheckBox* m_local;           // CheckBox8
};

class PhoneWindow : public QWidget {
    Q_OBJECT
public:
    PhoneWindow(store::AlertStore& store, const app::Settings& settings, app::Prompter& prompter,
                net::UrlOpener& opener, SettingsDialog& dialog);

    // Shows the window for a new or a changed number.
    void openFor(bool stored, const QString& number);
    // Register the typed number (BitBtn1).
    void registerNumber();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    store::AlertStore& m_store;
    const app::Settings& m_settings;
    app::Prompter& m_prompter;
    net::UrlOpener& m_opener;
    SettingsDialog& m_dialog;
    net::HttpClient* m_http;
    QLabel* m_message;           // Label1
    QGroupBox* m_group;          // GroupBox1
    app::DigitEdit* m_numberEdit;   // Edit1
    bool m_registerBusy = false;    // BitBtn1's registration is waiting on the network
};

// The author's chat link: ChatBase + "/msgrd?V=1&Uin=" + the contact number.
QString chatAddress(const app::Settings& settings);

} // namespace settings
