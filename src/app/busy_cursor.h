// SPDX-License-Identifier: GPL-3.0-or-later
// The busy cursor over every window of the program for the length of one
// piece of work: a command, a zoom, a save. It is put up as the work
// starts, so that anything lasting longer than a blink shows it; work that
// ends within a few milliseconds takes it down before it is seen.
#pragma once

namespace hueline::app {

class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace hueline::app
