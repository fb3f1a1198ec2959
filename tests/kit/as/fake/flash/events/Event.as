package flash.events
{
    /**
     * The runtime's Event, reduced to what VelmorantUtils and the stand-in
     * NativeApplication use, with the runtime's signatures.
     */
    public class Event
    {
        public static const ACTIVATE:String = "activate";
        public static const EXITING:String = "exiting";

        private var eventType:String;
        private var cancelable:Boolean;
        private var prevented:Boolean = false;

        public function Event(type:String, bubbles:Boolean = false, cancelable:Boolean = false)
        {
            eventType = type;
            this.cancelable = cancelable;
        }

        public function get type():String
        {
            return eventType;
        }

        /** As in the runtime, only a cancelable event can be cancelled. */
        public function preventDefault():void
        {
            prevented = cancelable;
        }

        public function isDefaultPrevented():Boolean
        {
            return prevented;
        }
    }
}
