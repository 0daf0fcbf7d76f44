#pragma once

#include <QStringList>
#include <memory>

class TDM;
class TSharedDM;
enum class StoreProgram;

// The data modules of Vezuviroz and Scribant, made in the order of the programs' start-up: a Jet
// bank copied over at the store's own path is first set aside (the start-up check then moves it
// in), then the database module opens the store, then the shared data module is made on it.
// Freed in the reverse order, so the store is closed (and compacted) last. AppError when the store
// cannot be opened or a Jet bank in its place cannot be set aside.
class StoreModules
{
public:
    explicit StoreModules(StoreProgram program);
    ~StoreModules();
    StoreModules(const StoreModules&) = delete;
    StoreModules& operator=(const StoreModules&) = delete;

    TDM* dm() const { return m_dm.get(); }
    TSharedDM* shared() const { return m_shared.get(); }

    // The end of the run: the shared module goes, then the store is closed (TDM::Close); what went
    // wrong, in words, for the program to show.
    QStringList close();

private:
    std::unique_ptr<TDM> m_dm;
    std::unique_ptr<TSharedDM> m_shared;
};
