package flash.display
{
    import flash.events.EventDispatcher;

    /**
     * The runtime's Screen, declared for compiling against (see
     * flash.events.EventDispatcher): the main screen, its current mode and the
     * modes it supports. modes is null where the runtime cannot list them (on
     * mobile platforms).
     */
    public final class Screen extends EventDispatcher
    {
        public static function get mainScreen():Screen { return null; }

        public function get mode():ScreenMode { return null; }

        public function get modes():Array { return null; }
    }
}
