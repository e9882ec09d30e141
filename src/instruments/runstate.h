#pragma once

// Run/Stop and Single of a page that shows frames as they come. Stopped, the picture and its
// readouts stay as they are while frames keep arriving; Single takes one picture and stops.
class RunState {
public:
    enum State { Run, Stop, Armed };

    State state() const { return current; }
    // Run stops; a stopped or armed page runs again, in the mode its trigger box shows.
    void runStop() { current = current == Run ? Stop : Run; }
    void single() { current = Armed; }
    bool takesFrames() const { return current != Stop; }
    bool armed() const { return current == Armed; }
    // A picture was taken: a Single ends there.
    void pictureTaken() {
        if (current == Armed)
            current = Stop;
    }

    // "Run", "Stop", "Armed".
    static const char* text(State s) {
        static const char* const texts[] = {"Run", "Stop", "Armed"};
        return texts[s];
    }

private:
    State current = Run;
};
