#pragma once

#include "mainwin/dialogs/InstrumentDialog.h"

// Memory numbers the supplies keep: 0..9.
inline constexpr int MaxMemoryNumber = 9;

// Auto-run range: first and last memory and the number of cycles.
class dlgAutoMode : public InstrumentDialog
{
    Q_OBJECT
public:
    explicit dlgAutoMode(QWidget *parent = nullptr);
    int StartMemory() const { return fieldValue(0); }
    int EndMemory() const { return fieldValue(1); }
    int Cycle() const { return fieldValue(2); }
};

// Auto-run delay in units of 100 ms.
class dlgDelay : public InstrumentDialog
{
    Q_OBJECT
public:
    explicit dlgDelay(QWidget *parent = nullptr);
    int Delay() const { return fieldValue(0); }
};

// Seconds one polling cycle may take; at most 32, which the engine's 16-bit millisecond
// budget can hold.
class dlgReadTimes : public InstrumentDialog
{
    Q_OBJECT
public:
    static constexpr int MaxSeconds = 32;
    explicit dlgReadTimes(QWidget *parent = nullptr);
    int ReadTimes() const { return fieldValue(0); }
};

// Memory number to recall; shares its remembered value with dlgSaveData.
class dlgRecallData : public InstrumentDialog
{
    Q_OBJECT
public:
    explicit dlgRecallData(QWidget *parent = nullptr);
    int Memory() const { return fieldValue(0); }
};

// Memory number to save into; shares its remembered value with dlgRecallData.
class dlgSaveData : public InstrumentDialog
{
    Q_OBJECT
public:
    explicit dlgSaveData(QWidget *parent = nullptr);
    int Memory() const { return fieldValue(0); }
};
