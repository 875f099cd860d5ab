#pragma once

#include <QSqlDatabase>
#include <QString>

#include <memory>

namespace preisliste {

class MessageSink;

// The database password every installation shares. The tariff database is an
// SQLite file here, and SQLite has no password: the value only completes the
// provider string that the tariff database has always been described by.
inline const QString kDatabasePassword = QStringLiteral("Marder");

// The provider string for the tariff database at `path`; the path goes in
// unchanged. Only its Data Source is used to open the file.
QString BuildConnectionString(const QString &path, const QString &password);

// The Data Source of a provider string: the text between "Data Source=" and
// the next ";User ID=" (a path may itself contain semicolons).
QString DataSourceOf(const QString &connectionString);

// One open connection to the tariff database, owned by the thread that opened
// it. Closing or destroying it rolls back what was not committed.
class TariffConnection {
public:
    ~TariffConnection();
    TariffConnection(const TariffConnection &) = delete;
    TariffConnection &operator=(const TariffConnection &) = delete;

    QSqlDatabase &Database() { return database_; }
    const QString &Path() const { return path_; }
    bool IsOpen() const { return database_.isOpen(); }
    void Close();

private:
    friend std::unique_ptr<TariffConnection> OpenTariffDatabase(const QString &, int, MessageSink &, int);
    TariffConnection(QString connectionName, QString path);

    QString connectionName_;
    QString path_;
    QSqlDatabase database_;
};

inline constexpr int kDefaultBusyTimeoutMs = 5000;

// Opens the existing tariff database read-write; never creates a file. Other
// programs may have the file open at the same time; a lock held by one of
// them is waited for up to `busyTimeoutMs`. On failure the message
// "Datenbank <path> konnte nicht geöffnet werden!" goes to `messages`, with a
// second line that says why (no such file, no database, no table Numbers,
// write-protected, folder not writable, locked), and the result is empty. `cursorLocation` is accepted for the callers' sake; SQLite
// has no client- or server-side cursors to choose between.
std::unique_ptr<TariffConnection> OpenTariffDatabase(const QString &path, int cursorLocation,
                                                     MessageSink &messages,
                                                     int busyTimeoutMs = kDefaultBusyTimeoutMs);

// Closes the connection if it is open; an empty pointer is fine.
void CloseTariffDatabase(TariffConnection *connection);

// Creates a new, empty tariff database. Refuses to touch an existing file.
// Returns an empty text on success, else a German description of the failure.
QString CreateTariffDatabase(const QString &path);

// The create statement of the tariff table.
inline const QString kCreateNumbersStatement = QStringLiteral(
    "CREATE TABLE Numbers (Number VARCHAR(255), Name VARCHAR(255), Price_EUR CURRENCY, "
    "Rate_EK CURRENCY, GraceTime INTEGER, Profile VARCHAR(255), IsEdited BIT NOT NULL DEFAULT 0)");

} // namespace preisliste
