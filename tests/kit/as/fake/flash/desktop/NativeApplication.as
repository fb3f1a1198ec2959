package flash.desktop
{
    import flash.events.Event;

    /**
     * A stand-in NativeApplication for running the kit's ActionScript under
     * Node. Of the runtime's members only those VelmorantUtils uses are
     * declared, with the runtime's signatures; reset() and dispatchExiting()
     * are the tests' own.
     */
    public class NativeApplication
    {
        private static var application:NativeApplication = new NativeApplication();

        // { type, listener, priority }, in the order they are called.
        private var listeners:Array = [];

        public static function get nativeApplication():NativeApplication
        {
            return application;
        }

        /** Forgets every listener. */
        public static function reset():void
        {
            application.listeners = [];
        }

        /**
         * Sends a cancelable exiting event, as the runtime does before it quits
         * on its own, and returns how many listeners it reached.
         */
        public static function dispatchExiting():int
        {
            var event:Event = new Event(Event.EXITING, false, true);
            var reached:int = 0;
            for each (var entry:Object in application.listeners.slice())
            {
                if (entry.type != Event.EXITING)
                    continue;
                entry.listener(event);
                reached++;
            }
            return reached;
        }

        /** Kept in dispatch order: higher priorities first, equal ones in the order added. */
        public function addEventListener(type:String, listener:Function, useCapture:Boolean = false,
                                         priority:int = 0, useWeakReference:Boolean = false):void
        {
            var at:int = 0;
            while (at < listeners.length && listeners[at].priority >= priority)
                at++;
            listeners.splice(at, 0, { type: type, listener: listener, priority: priority });
        }

        public function removeEventListener(type:String, listener:Function, useCapture:Boolean = false):void
        {
            listeners = listeners.filter(function(entry:Object, index:int, all:Array):Boolean {
                return entry.type != type || entry.listener != listener;
            });
        }
    }
}
