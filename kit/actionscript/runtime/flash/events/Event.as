package flash.events
{
    /** The runtime's Event, declared for compiling against (see EventDispatcher). */
    public class Event
    {
        public static const ACTIVATE:String = "activate";
        public static const EXITING:String = "exiting";

        public function Event(type:String, bubbles:Boolean = false, cancelable:Boolean = false) {}

        public function get type():String { return null; }

        public function preventDefault():void {}

        public function isDefaultPrevented():Boolean { return false; }
    }
}
