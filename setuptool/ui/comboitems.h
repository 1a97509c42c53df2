#pragma once

class QComboBox;

// Takes an item out of the drop-down list, or puts it back, without moving
// the others: the value of an item is its position. A hidden item can still
// be the current one (set by a record); the user just cannot pick it, neither
// from the list nor with the keyboard or the mouse wheel.
void setComboItemHidden(QComboBox *box, int index, bool hidden);
bool isComboItemHidden(const QComboBox *box, int index);
