#pragma once
// Named actions that page buttons run. A page file names the action a button runs; the name is
// looked up once, when the page is loaded, in the list of an event handler (the menu's list of
// every action of the game). Buttons keep the events they found and never own them.

#include <vector>

class View;

class UiEvent {
public:
    // The name is not copied: it must outlive the event (a string literal, as a rule).
    explicit UiEvent(const char* name = "") : name(name) {}
    virtual ~UiEvent() {}

    // Runs the action for the view that fired it.
    virtual void execute(View* view) { (void)view; }

    // Compared byte for byte (case-sensitive) when pages bind against it.
    const char* name;
};

class UiEventHandler {
public:
    // The first event in list order whose name equals name exactly; null when none does (or
    // name is null).
    UiEvent* find(const char* name) const;

    // Not owned: whoever fills the list keeps the events alive, and fills it before the first
    // page is loaded against it.
    std::vector<UiEvent*> events;
};
