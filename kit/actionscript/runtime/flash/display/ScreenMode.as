package flash.display
{
    /**
     * The runtime's ScreenMode, declared for compiling against (see
     * flash.events.EventDispatcher). refreshRate is 0 when the display reports
     * none.
     */
    public class ScreenMode
    {
        public function get width():int { return 0; }

        public function get height():int { return 0; }

        public function get refreshRate():int { return 0; }

        public function get colorDepth():int { return 0; }
    }
}
